#pragma once
#include <cstdint>

class TForm1;

// "Ok": the chosen model's index into the station, its code into the options file, its presets
// into the window.
void SelectModel(TForm1 &form);

// The technician typed into the model list: what he typed is no entry, so the list has no
// selection any more ("Ok" then stores 255 and keeps the model code); the text stays as typed.
void ModelListEdited(TForm1 &form);

// Selects the model list entry with this index, as the station stored it; an index with no
// entry leaves the list without a selection. Nothing else changes.
void SelectModelEntry(TForm1 &form, uint8_t index);

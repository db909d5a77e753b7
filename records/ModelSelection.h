#pragma once
class TForm1;

// "Ok": the chosen model's index into the station, its code into the options file, its presets
// into the window.
void SelectModel(TForm1 &form);

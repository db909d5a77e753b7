#pragma once
class TForm1;

// The window's start-up: grid headings, options file, current model and port, the model's
// presets into the window and into ParamValues, the connect prompt.
void StartUp(TForm1 &form);

// Caption "Ручная настройка радиостанции " + ModelCode, and the 29 preset texts of the model's
// section into their fields and grid cells, unchanged. ParamValues is not touched.
void ApplyModelPresets(TForm1 &form);

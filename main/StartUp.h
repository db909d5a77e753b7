#pragma once
class TForm1;

// The window's start-up: grid headings, options file, current model and port, the model's
// presets into the window and into ParamValues, the connect prompt.
void StartUp(TForm1 &form);

#pragma once
class TForm1;

// Caption "Ручная настройка радиостанции " + ModelCode, and the 29 preset texts of the model's
// section into their fields and grid cells, unchanged. ParamValues is not touched.
void ApplyModelPresets(TForm1 &form);

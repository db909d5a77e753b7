#pragma once
class TForm1;

// The window's key-down handler, before the focused control; true when it consumed the key.
// key is Qt's key code, modifiers Qt's keyboard modifiers.
bool HandleKeyDown(TForm1 &form, int key, int modifiers);

#pragma once
// The whole set of 34 values at once: to the station, from it, and back from the snapshot file.
class TForm1;

// "Запись": the window's values to the station; on a full answer, the snapshot file.
void WriteAll(TForm1 &form);
// "Чтение": the station's values and its stored model index into the window.
void ReadAll(TForm1 &form);
// "Восстановить": the snapshot file into the window; nothing is sent.
void RestoreSnapshot(TForm1 &form);

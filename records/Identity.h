#pragma once
// The connected station's serial number and processor date.
class TForm1;

// "Считать": three requests, shown as six hexadecimal digits.
void ReadSerialNumber(TForm1 &form);
// "Дата Процессора": four date bytes, shown as the button's caption.
void ReadProcessorDate(TForm1 &form);

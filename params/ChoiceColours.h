#pragma once
// Colours of the parameter choice: the chosen field or grid cell stands out aqua on purple, the
// others are navy on their usual background.
#include <QColor>

namespace ChoiceColours {

inline const QColor ChosenText{0x00, 0xFF, 0xFF}; // aqua
inline const QColor ChosenBack{0x80, 0x00, 0x80}; // purple
inline const QColor Text{0x00, 0x00, 0x80};       // navy
inline const QColor CellBack{0xFF, 0xFF, 0xFF};   // white; fields keep the window background

} // namespace ChoiceColours

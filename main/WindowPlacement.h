#pragma once
// Where the main window opens: centred in the free area of its screen, and never with its title
// bar or its connect controls off the screen, whatever the scale factor makes of its fixed size.
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// The top-left corner of a frame of this size in the free area of a screen. Centred where it
// fits; where it is taller, its top at the area's top (the title bar stays reachable); where it
// is wider, its right edge at the area's right edge ("Работа с портом" and "Подключиться" stand
// in the window's top-right corner, and they come first).
QPoint PlaceOnScreen(QSize frameSize, const QRect &available);

// Moves the window there before it is shown, and once more when the window manager's frame has
// made it larger than the area it was placed in.
void PlaceOnItsScreen(QWidget &window);

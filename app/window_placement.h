// Where a tool window goes when it first opens: beside the main window,
// clear of the windows already open, and within the screen.
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace app {

// The top-left corner for a window of `size` (frame included): to the right
// of `mainWindow` or below it, beside or below the `open` windows, the first
// place that covers none of them and lies within `screen`. Where there is no
// such place, the first candidate moved into the screen.
QPoint FreeSpotFor(const QSize& size, const QRect& mainWindow, const QList<QRect>& open, const QRect& screen);

}  // namespace app

// Where a tool window goes when it first opens: beside the main window,
// clear of the windows already open, and within the screen.
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace app {

// The top-left corner for a window of `size` (frame included) within
// `screen`, covering neither `mainWindow` nor the `open` windows: to the
// right of the main window or below it, in line with the open windows,
// where there is room; else the free place nearest the main window. Where
// no place is free, the place within the screen that covers least of the
// open windows and of `keepVisible` (the main window's menu, tool and status
// bars), then least of the main window.
QPoint FreeSpotFor(const QSize& size, const QRect& mainWindow, const QList<QRect>& open, const QRect& screen,
                   const QList<QRect>& keepVisible = {});

}  // namespace app

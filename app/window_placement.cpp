#include "window_placement.h"

#include <algorithm>

namespace app {

namespace {
constexpr int kGap = 8;

QPoint IntoScreen(QPoint at, const QSize& size, const QRect& screen) {
    at.setX(std::clamp(at.x(), screen.left(), std::max(screen.left(), screen.right() + 1 - size.width())));
    at.setY(std::clamp(at.y(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height())));
    return at;
}
}  // namespace

QPoint FreeSpotFor(const QSize& size, const QRect& mainWindow, const QList<QRect>& open, const QRect& screen) {
    QList<QPoint> candidates;
    const int right = mainWindow.right() + 1 + kGap;
    const int below = mainWindow.bottom() + 1 + kGap;
    candidates << QPoint(right, mainWindow.top());
    for (const QRect& r : open) candidates << QPoint(right, r.bottom() + 1 + kGap);
    candidates << QPoint(mainWindow.left(), below);
    for (const QRect& r : open) candidates << QPoint(r.right() + 1 + kGap, below);
    for (const QRect& r : open) candidates << QPoint(r.right() + 1 + kGap, r.top());

    QList<QRect> taken = open;
    taken << mainWindow;
    for (const QPoint& at : candidates) {
        const QRect place(at, size);
        if (!screen.contains(place)) continue;
        if (std::none_of(taken.begin(), taken.end(), [&place](const QRect& r) { return r.intersects(place); }))
            return at;
    }
    return IntoScreen(candidates.first(), size, screen);
}

}  // namespace app

#include "window_placement.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace app {

namespace {
constexpr int kGap = 8;

bool Clear(const QRect& place, const QList<QRect>& taken, int margin) {
    const QRect around = place.adjusted(-margin, -margin, margin, margin);
    return std::none_of(taken.begin(), taken.end(), [&around](const QRect& r) { return r.intersects(around); });
}

// Pixels between two rectangles, across and down; 0 where they touch.
qint64 Distance(const QRect& a, const QRect& b) {
    const qint64 dx = std::max({0, a.left() - b.right() - 1, b.left() - a.right() - 1});
    const qint64 dy = std::max({0, a.top() - b.bottom() - 1, b.top() - a.bottom() - 1});
    return dx * dx + dy * dy;
}

qint64 Covered(const QRect& place, const QList<QRect>& taken) {
    qint64 area = 0;
    for (const QRect& r : taken) {
        const QRect both = r.intersected(place);
        if (!both.isEmpty()) area += qint64{both.width()} * both.height();
    }
    return area;
}
}  // namespace

QPoint FreeSpotFor(const QSize& size, const QRect& mainWindow, const QList<QRect>& open, const QRect& screen,
                   const QList<QRect>& keepVisible) {
    QList<QRect> taken = open;
    taken << mainWindow;

    // The places a user expects first: beside the main window or below it,
    // in line with the windows already open.
    QList<QPoint> preferred;
    const int right = mainWindow.right() + 1 + kGap;
    const int below = mainWindow.bottom() + 1 + kGap;
    preferred << QPoint(right, mainWindow.top());
    for (const QRect& r : open) preferred << QPoint(right, r.bottom() + 1 + kGap);
    preferred << QPoint(mainWindow.left(), below);
    for (const QRect& r : open) preferred << QPoint(r.right() + 1 + kGap, below);
    for (const QRect& r : open) preferred << QPoint(r.right() + 1 + kGap, r.top());
    for (const QPoint& at : preferred) {
        const QRect place(at, size);
        if (screen.contains(place) && Clear(place, taken, 0)) return at;
    }

    // Else any place on the screen: a free one, if there is one, lies against
    // the screen's edges or another window's on each axis; of those the one
    // nearest the main window, with a gap to the others where there is room.
    QList<int> xs{screen.left(), screen.right() + 1 - size.width()};
    QList<int> ys{screen.top(), screen.bottom() + 1 - size.height()};
    for (const QRect& r : taken) {
        for (const int gap : {kGap, 0}) {
            xs << r.right() + 1 + gap << r.left() - gap - size.width();
            ys << r.bottom() + 1 + gap << r.top() - gap - size.height();
        }
        ys << r.top() << r.bottom() + 1 - size.height();
    }
    for (const int margin : {kGap, 0}) {
        std::optional<QPoint> best;
        qint64 bestDistance = std::numeric_limits<qint64>::max();
        for (const int y : ys) {
            for (const int x : xs) {
                const QRect place(QPoint(x, y), size);
                if (!screen.contains(place) || !Clear(place, taken, margin)) continue;
                const qint64 distance = Distance(place, mainWindow);
                if (distance < bestDistance) {
                    best = QPoint(x, y);
                    bestDistance = distance;
                }
            }
        }
        if (best) return *best;
    }

    // No free place at all: the one within the screen that covers least of
    // what must stay in sight, then least of the main window, and of those
    // the one farthest from its middle, where the picture is.
    for (const QRect& r : keepVisible) {
        xs << r.right() + 1 << r.left() - size.width();
        ys << r.bottom() + 1 << r.top() - size.height();
    }
    QList<QRect> inSight = open;
    inSight << keepVisible;
    QPoint best = preferred.first();
    qint64 bestCovered = std::numeric_limits<qint64>::max();
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    for (const int y : ys) {
        for (const int x : xs) {
            const QPoint at(std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - size.width())),
                            std::clamp(y, screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height())));
            const QRect place(at, size);
            const qint64 covered = Covered(place, inSight) * 1000 + Covered(place, {mainWindow});
            const QPoint offCentre = place.center() - mainWindow.center();
            const qint64 distance = -(qint64{offCentre.x()} * offCentre.x() + qint64{offCentre.y()} * offCentre.y());
            if (covered < bestCovered || (covered == bestCovered && distance < bestDistance)) {
                best = at;
                bestCovered = covered;
                bestDistance = distance;
            }
        }
    }
    return best;
}

}  // namespace app

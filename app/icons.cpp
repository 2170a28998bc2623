#include "icons.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QImage>
#include <algorithm>
#include <cmath>

namespace app {

namespace {
constexpr int kGlyphSize = 24;

QPixmap Blank(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}
}  // namespace

QIcon GlyphIcon(Glyph glyph) {
    QPixmap pixmap = Blank(kGlyphSize);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(40, 40, 60);
    switch (glyph) {
    case Glyph::Parameters: {
        // Three sliders.
        p.setPen(QPen(ink, 2));
        const int xs[] = {7, 14, 10};
        for (int i = 0; i < 3; ++i) {
            const int y = 5 + i * 7;
            p.drawLine(3, y, 21, y);
            p.setBrush(QColor(70, 130, 200));
            p.drawRect(xs[i] - 2, y - 3, 4, 6);
        }
        break;
    }
    case Glyph::Zoom: {
        p.setPen(QPen(ink, 2.2));
        p.setBrush(QColor(200, 225, 255));
        p.drawEllipse(QPointF(10, 10), 6.5, 6.5);
        p.setPen(QPen(ink, 3.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(15, 15), QPointF(21, 21));
        p.setPen(QPen(ink, 1.6));
        p.drawLine(QPointF(7, 10), QPointF(13, 10));
        p.drawLine(QPointF(10, 7), QPointF(10, 13));
        break;
    }
    case Glyph::ColourControls: {
        const QColor colours[] = {QColor(220, 40, 40), QColor(40, 170, 60), QColor(40, 80, 220)};
        const QPointF centres[] = {QPointF(12, 8.5), QPointF(8, 15), QPointF(16, 15)};
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 3; ++i) {
            QColor c = colours[i];
            c.setAlpha(190);
            p.setBrush(c);
            p.drawEllipse(centres[i], 6.5, 6.5);
        }
        break;
    }
    case Glyph::ImageSize: {
        p.setPen(QPen(ink, 1.6));
        p.setBrush(QColor(255, 245, 200));
        p.drawRect(QRectF(3.5, 5.5, 17, 13));
        p.setPen(QPen(QColor(180, 60, 40), 1.6));
        p.drawLine(QPointF(6, 16), QPointF(18, 8));
        p.drawLine(QPointF(18, 8), QPointF(14, 8.5));
        p.drawLine(QPointF(18, 8), QPointF(17.5, 12));
        break;
    }
    case Glyph::Julia: {
        // The button's caption "J", drawn large enough to read.
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(19);
        p.setFont(font);
        p.setPen(QColor(120, 40, 150));
        p.drawText(QRect(0, 0, kGlyphSize, kGlyphSize), Qt::AlignCenter, QStringLiteral("J"));
        break;
    }
    case Glyph::Apply: {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 150, 60));
        QPainterPath path;
        path.moveTo(7, 4);
        path.lineTo(20, 12);
        path.lineTo(7, 20);
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    }
    return QIcon(pixmap);
}

QCursor MakeEllipseCursor() {
    QPixmap pixmap = Blank(32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 3));
    p.drawEllipse(QPointF(16, 16), 12, 7);
    p.setPen(QPen(Qt::black, 1.4));
    p.drawEllipse(QPointF(16, 16), 12, 7);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 16), 2.2, 2.2);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(16, 16), 1.2, 1.2);
    p.end();
    return QCursor(pixmap, 16, 16);
}

QIcon ApplicationIcon() {
    // A small Mandelbrot silhouette on a dark blue disc.
    constexpr int size = 64;
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double dx = x - 31.5;
            const double dy = y - 31.5;
            if (dx * dx + dy * dy > 31.0 * 31.0) continue;
            const double cr = -2.1 + x * (2.8 / size);
            const double ci = -1.4 + y * (2.8 / size);
            double zr = 0.0;
            double zi = 0.0;
            int n = 0;
            while (n < 60 && zr * zr + zi * zi <= 4.0) {
                const double t = zr * zr - zi * zi + cr;
                zi = 2.0 * zr * zi + ci;
                zr = t;
                ++n;
            }
            const int shade = n >= 60 ? 0 : std::min(255, 40 + n * 12);
            image.setPixel(x, y, n >= 60 ? qRgb(10, 10, 30) : qRgb(shade / 3, shade / 2, shade));
        }
    }
    return QIcon(QPixmap::fromImage(image));
}

}  // namespace app

#include "view_motion.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "picture_view.h"

namespace app {

namespace {

// The picture shown through `m`, sampled as the view draws it (each target
// pixel takes the source pixel its centre falls on); black outside. Written
// for speed: it runs between a wheel notch and the first pass.
void Resample(const imaging::Picture& source, const engine::GridMapping& m, imaging::Picture& target) {
    const size_t rowBytes = static_cast<size_t>(target.Width()) * 3;
    if (!(m.scaleX > 0.0) || !(m.scaleY > 0.0) || !std::isfinite(m.offsetX) || !std::isfinite(m.offsetY)) {
        std::fill(target.Bytes().begin(), target.Bytes().end(), uint8_t{0});
        return;
    }
    const auto sourceIndex = [](double at, double scale, double offset, int32_t size) {
        const double u = std::floor((at + 0.5 - offset) / scale);
        return u >= 0.0 && u < size ? static_cast<int32_t>(u) : -1;
    };
    std::vector<int32_t> columns(static_cast<size_t>(target.Width()));
    for (int32_t x = 0; x < target.Width(); ++x)
        columns[static_cast<size_t>(x)] = sourceIndex(x, m.scaleX, m.offsetX, source.Width());
    int32_t lastRow = -1;
    for (int32_t y = 0; y < target.Height(); ++y) {
        uint8_t* to = target.Row(y);
        const int32_t sy = sourceIndex(y, m.scaleY, m.offsetY, source.Height());
        if (sy < 0) {
            std::memset(to, 0, rowBytes);
            lastRow = -1;
            continue;
        }
        if (sy == lastRow) {  // zoomed in: the row above again
            std::memcpy(to, target.Row(y - 1), rowBytes);
            continue;
        }
        lastRow = sy;
        const uint8_t* from = source.Row(sy);
        for (int32_t x = 0; x < target.Width();) {
            const int32_t sx = columns[static_cast<size_t>(x)];
            int32_t run = 1;
            if (sx < 0) {
                while (x + run < target.Width() && columns[static_cast<size_t>(x + run)] < 0) ++run;
                std::memset(to + static_cast<size_t>(x) * 3, 0, static_cast<size_t>(run) * 3);
            } else {
                // Neighbours from neighbours (a pan, or a mild zoom) in one copy.
                while (x + run < target.Width() && columns[static_cast<size_t>(x + run)] == sx + run) ++run;
                std::memcpy(to + static_cast<size_t>(x) * 3, from + static_cast<size_t>(sx) * 3,
                            static_cast<size_t>(run) * 3);
            }
            x += run;
        }
    }
}

bool UsableSize(QSize size) {
    return size.width() > 0 && size.height() > 0 && imaging::Picture::SizeAllowed(size.width(), size.height());
}

}  // namespace

ViewMotion::ViewMotion(engine::GenerationCore& core, PictureView& view, Host host, QObject* parent)
    : QObject(parent), core_(core), view_(view), host_(std::move(host)) {
    // The picture's events, and Space wherever the keyboard focus is in the window.
    qApp->installEventFilter(this);
    settle_.setSingleShot(true);
    settle_.setInterval(kResizeSettleMilliseconds);
    connect(&settle_, &QTimer::timeout, this, [this] {
        lastInput_.invalidate();  // a new size is a step of its own
        schedule();
    });
    connect(&view_, &PictureView::viewResized, this, &ViewMotion::onViewResized);
}

ViewMotion::~ViewMotion() {
    if (dragging_) QGuiApplication::restoreOverrideCursor();
}

bool ViewMotion::fitToWindow() const { return view_.fitToWindow(); }

void ViewMotion::setFitToWindow(bool on) {
    if (on == view_.fitToWindow()) return;
    view_.setFitToWindow(on);
    emit fitToWindowChanged(on);
    if (on && host_.canCompute() && targetSize() != QSize(core_.Context.ImageWidth, core_.Context.ImageHeight)) {
        settle_.stop();
        lastInput_.invalidate();
        showAndCompute();
    }
}

QSize ViewMotion::targetSize() const {
    if (view_.fitToWindow()) {
        const QSize fitting = view_.fittingPictureSize();
        if (UsableSize(fitting)) return fitting;
    }
    return QSize(core_.Context.ImageWidth, core_.Context.ImageHeight);
}

TIterationContext ViewMotion::targetRecord() const {
    TIterationContext target = core_.Context;
    const QSize size = targetSize();
    target.ImageWidth = size.width();
    target.ImageHeight = size.height();
    return target;
}

engine::GridMapping ViewMotion::shownToTarget() const {
    return engine::MapViews(shown_, shownView_, targetRecord(), core_.View);
}

bool ViewMotion::changeView(const std::function<bool(TIterationContext&, engine::ExactView&)>& change) {
    if (!host_.canCompute()) return false;
    // A generation in progress keeps its own grid and the record it started
    // from: the view may change under it. The pixels refer to the size the
    // next picture will have; the record keeps its own size until then.
    TIterationContext& ctx = core_.Context;
    const int32_t width = ctx.ImageWidth;
    const int32_t height = ctx.ImageHeight;
    const QSize size = targetSize();
    ctx.ImageWidth = size.width();
    ctx.ImageHeight = size.height();
    const bool changed = change(ctx, core_.View);
    if (changed) {
        engine::ExactPick unused;
        engine::PickTheView(ctx, core_.View, host_.pick != nullptr ? *host_.pick : unused);
    }
    ctx.ImageWidth = width;
    ctx.ImageHeight = height;
    return changed;
}

void ViewMotion::zoomAt(QPointF position, double factor) {
    if (changeView([&](TIterationContext& c, engine::ExactView& v) {
            return engine::ZoomAtPosition(c, v, position.x(), position.y(), factor);
        }))
        showAndCompute();
}

void ViewMotion::zoomAboutCentre(double factor) {
    if (changeView([&](TIterationContext& c, engine::ExactView& v) { return engine::ZoomAboutCentre(c, v, factor); })) showAndCompute();
}

void ViewMotion::panBy(QPointF pixels) {
    if (changeView([&](TIterationContext& c, engine::ExactView& v) {
            return engine::PanByPixels(c, v, pixels.x(), pixels.y());
        }))
        showAndCompute();
}

void ViewMotion::panStep(int columns, int rows) {
    const QSize size = targetSize();
    // The view moves the arrow's way: the content the other way.
    panBy(QPointF(-columns * std::round(size.width() / 10.0), -rows * std::round(size.height() / 10.0)));
}

void ViewMotion::showAndCompute() {
    view_.setPreview(shownToTarget());
    // On the screen now, before anything is computed for it.
    view_.pictureBox()->repaint();
    if (host_.viewChanged) host_.viewChanged();
    schedule();
}

void ViewMotion::schedule() {
    const bool sameStep =
        lastInput_.isValid() && lastInput_.elapsed() < kBurstMilliseconds && host_.generationCount() == burstGeneration_;
    lastInput_.restart();
    settle_.stop();
    // Inputs that come before the view is prepared add up in the record.
    if (pending_) return;
    pending_ = true;
    host_.computeView([this] { prepareView(); }, sameStep);
}

void ViewMotion::prepareView() {
    pending_ = false;
    TIterationContext& ctx = core_.Context;
    const QSize size = targetSize();
    if (!UsableSize(size)) return;
    // The picture before last is the buffer for the next (no allocation).
    std::unique_ptr<imaging::Picture> preview = std::move(spare_);
    if (!preview || preview->Width() != size.width() || preview->Height() != size.height())
        preview = std::make_unique<imaging::Picture>(size.width(), size.height());
    const engine::GridMapping mapping = shownToTarget();
    ctx.ImageWidth = size.width();
    ctx.ImageHeight = size.height();
    if (const imaging::Picture* shown = view_.picture()) Resample(*shown, mapping, *preview);
    spare_ = view_.setPicture(std::move(preview));
    core_.CurrentImage = view_.picture();
    view_.pictureChanged();
    ownStart_ = true;
}

void ViewMotion::generationStarted() {
    burstGeneration_ = ownStart_ ? host_.generationCount() : -1;
    ownStart_ = false;
    lastRepaint_.restart();
    // The picture on the screen is this generation's from now on.
    shown_ = core_.Context;
    shownView_ = core_.View;
}

void ViewMotion::jobTaken() {
    view_.pixelsChanged();
    if (!core_.InPasses()) return;
    // Painting takes the time of computing on this thread: a few percent of it at most.
    const double interval = std::max<double>(kRepaintMilliseconds, 40.0 * view_.lastPaintMilliseconds());
    if (core_.LastJobEndedPass() || !lastRepaint_.isValid() || lastRepaint_.elapsed() >= interval) {
        view_.pictureChanged();
        lastRepaint_.restart();
    }
}

void ViewMotion::onViewResized() {
    if (!view_.fitToWindow() || !host_.canCompute()) return;
    const engine::GridMapping mapping = shownToTarget();
    if (targetSize() == QSize(core_.Context.ImageWidth, core_.Context.ImageHeight) && mapping == engine::GridMapping{} &&
        !pending_) {
        view_.clearPreview();
        settle_.stop();
        return;
    }
    view_.setPreview(mapping);
    if (!pending_) settle_.start();
}

QPointF ViewMotion::toPicture(QObject* watched, QPointF at) const {
    QWidget* box = view_.pictureBox();
    if (watched != box) at = box->mapFrom(static_cast<QWidget*>(watched), at);
    return view_.toPictureF(at);
}

bool ViewMotion::startDrag(QObject* watched, QPointF at) {
    if (!host_.canCompute() || (host_.picksJuliaConstant && host_.picksJuliaConstant())) return false;
    dragging_ = true;
    dragStart_ = toPicture(watched, at);
    dragBase_ = view_.preview();
    QGuiApplication::setOverrideCursor(Qt::ClosedHandCursor);
    return true;
}

void ViewMotion::finishDrag(QPointF at, QObject* watched) {
    dragging_ = false;
    dragButton_ = Qt::NoButton;
    QGuiApplication::restoreOverrideCursor();
    const QPointF moved = toPicture(watched, at) - dragStart_;
    if (moved.isNull()) {
        view_.setPreview(dragBase_);
        return;
    }
    lastInput_.invalidate();  // a drag is a step of its own
    panBy(moved);
}

bool ViewMotion::eventFilter(QObject* watched, QEvent* event) {
    const bool onView = watched == view_.pictureBox() || watched == view_.viewport();
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Space && !key->isAutoRepeat()) {
                auto* widget = qobject_cast<QWidget*>(watched);
                if (event->type() == QEvent::KeyRelease)
                    spaceHeld_ = false;
                else if (widget != nullptr && widget->window() == view_.window())
                    spaceHeld_ = true;
            }
            return false;
        }
        case QEvent::WindowDeactivate:
            if (watched == view_.window()) spaceHeld_ = false;
            return false;
        case QEvent::Wheel: {
            if (!onView) return false;
            auto* wheel = static_cast<QWheelEvent*>(event);
            const int delta = wheel->angleDelta().y();
            if (delta == 0 || !host_.canCompute()) return false;
            const double notch = wheel->modifiers() & Qt::ControlModifier ? kFineNotchFactor : kNotchFactor;
            zoomAt(toPicture(watched, wheel->position()), std::pow(notch, delta / 120.0));
            wheel->accept();
            return true;
        }
        case QEvent::NativeGesture: {
            if (!onView) return false;
            auto* gesture = static_cast<QNativeGestureEvent*>(event);
            if (gesture->gestureType() != Qt::ZoomNativeGesture) return false;
            zoomAt(toPicture(watched, gesture->position()), 1.0 + gesture->value());
            gesture->accept();  // or it goes on to the parent widgets
            return true;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            if (!onView) return false;
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (dragging_) return true;
            const bool middle = mouse->button() == Qt::MiddleButton;
            const bool spaceLeft = mouse->button() == Qt::LeftButton && spaceHeld_ &&
                                   !(mouse->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
            if (!(middle || spaceLeft) || !startDrag(watched, mouse->position())) return false;
            dragButton_ = mouse->button();
            mouse->accept();
            return true;
        }
        case QEvent::MouseMove: {
            if (!onView || !dragging_) return false;
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPointF moved = toPicture(watched, mouse->position()) - dragStart_;
            engine::GridMapping m = dragBase_;
            m.offsetX += moved.x();
            m.offsetY += moved.y();
            view_.setPreview(m);
            mouse->accept();
            return true;
        }
        case QEvent::MouseButtonRelease: {
            if (!onView || !dragging_) return false;
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == dragButton_) finishDrag(mouse->position(), watched);
            mouse->accept();
            return true;
        }
        default:
            return false;
    }
}

}  // namespace app

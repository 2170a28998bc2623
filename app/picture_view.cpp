#include "picture_view.h"

#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace app {

namespace {
constexpr int kHandleSize = 7;
constexpr int kHandleReach = 4;

// The eight handles of a rectangle: corners and side midpoints, clockwise
// from the top-left corner.
std::array<QPoint, 8> HandlePoints(const QRect& r) {
    const int l = r.x();
    const int t = r.y();
    const int rr = r.x() + r.width();
    const int b = r.y() + r.height();
    const int cx = l + r.width() / 2;
    const int cy = t + r.height() / 2;
    return {QPoint(l, t), QPoint(cx, t), QPoint(rr, t), QPoint(rr, cy),
            QPoint(rr, b), QPoint(cx, b), QPoint(l, b), QPoint(l, cy)};
}

MouseState StateOf(const QMouseEvent* event, bool doubleClick = false) {
    return MouseState{event->buttons(), event->modifiers(), doubleClick};
}
}  // namespace

// The widget that draws the picture at its natural size.
class PictureBox : public QWidget {
public:
    explicit PictureBox(PictureView* owner) : owner_(owner) {
        setObjectName(QStringLiteral("pictureBox"));
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setContextMenuPolicy(Qt::CustomContextMenu);
        // A click brings the keys back to the picture.
        setFocusPolicy(Qt::ClickFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        owner_->paint(painter);
    }
    void mousePressEvent(QMouseEvent* event) override { owner_->press(event, false); }
    void mouseDoubleClickEvent(QMouseEvent* event) override { owner_->press(event, true); }
    void mouseMoveEvent(QMouseEvent* event) override { owner_->moveTo(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { owner_->release(event); }

private:
    PictureView* owner_;
};

PictureView::PictureView(QWidget* parent) : QScrollArea(parent), box_(new PictureBox(this)) {
    setObjectName(QStringLiteral("pictureView"));
    setWidgetResizable(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setBackgroundRole(QPalette::Dark);
    box_->resize(0, 0);
    setWidget(box_);
    setFocusPolicy(Qt::StrongFocus);
}

PictureView::~PictureView() = default;

QWidget* PictureView::pictureBox() const { return box_; }

double PictureView::pixelRatio() const { return box_->devicePixelRatioF(); }

QSize PictureView::boxSizeFor(const imaging::Picture* picture) const {
    if (picture == nullptr) return QSize(0, 0);
    const double ratio = pixelRatio();
    return QSize(static_cast<int>(std::ceil(picture->Width() / ratio - 1e-9)),
                 static_cast<int>(std::ceil(picture->Height() / ratio - 1e-9)));
}

void PictureView::sizeBox() {
    if (fit_) return;  // the scroll area sizes it to the view
    box_->resize(boxSizeFor(picture_.get()));
}

std::unique_ptr<imaging::Picture> PictureView::setPicture(std::unique_ptr<imaging::Picture> picture) {
    const QSize before = boxSizeFor(picture_.get());
    std::unique_ptr<imaging::Picture> old = std::exchange(picture_, std::move(picture));
    preview_ = {};
    previewSourceStale_ = true;
    const QSize after = boxSizeFor(picture_.get());
    sizeBox();
    box_->update();
    if (after != before) emit pictureResized(after.width(), after.height());
    return old;
}

void PictureView::pictureChanged() {
    previewSourceStale_ = true;
    box_->update();
}

QPoint PictureView::toPicture(QPoint at) const {
    if (!picture_) return QPoint(0, 0);
    const QPointF p = toPictureF(QPointF(at));
    return QPoint(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())));
}

QPointF PictureView::toPictureF(QPointF at) const { return at * pixelRatio(); }

void PictureView::setFitToWindow(bool on) {
    if (fit_ == on) return;
    fit_ = on;
    const Qt::ScrollBarPolicy policy = on ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
    setHorizontalScrollBarPolicy(policy);
    setVerticalScrollBarPolicy(policy);
    setWidgetResizable(on);
    sizeBox();
    box_->update();
}

QSize PictureView::fittingPictureSize() const {
    const double ratio = pixelRatio();
    const QSize area = viewport()->size();
    return QSize(static_cast<int>(std::floor(area.width() * ratio + 1e-9)),
                 static_cast<int>(std::floor(area.height() * ratio + 1e-9)));
}

void PictureView::setPreview(const engine::GridMapping& mapping) {
    preview_ = mapping;
    box_->update();
}

void PictureView::clearPreview() { setPreview({}); }

void PictureView::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    emit viewResized();
}

void PictureView::setHasSelection(bool on) {
    if (hasSelection_ == on) return;
    hasSelection_ = on;
    if (!on) drag_ = Drag::None;
    box_->update();
    emit selectionChanged();
}

void PictureView::removeSelection() { setHasSelection(false); }

void PictureView::setSelectionRect(const engine::PixelRect& rect) {
    selection_ = rect;
    box_->update();
}

QRect PictureView::selectionQRect() const {
    return QRect(selection_.left, selection_.top, selection_.width, selection_.height);
}

void PictureView::setActionMode(ActionMode mode) {
    actionMode_ = mode;
    if (mode != ActionMode::EditSelection) drag_ = Drag::None;
}

void PictureView::paint(QPainter& painter) {
    QElapsedTimer timer;
    timer.start();
    struct Timed {
        QElapsedTimer& timer;
        double& milliseconds;
        ~Timed() { milliseconds = timer.nsecsElapsed() / 1e6; }
    } timed{timer, lastPaintMilliseconds_};
    const double ratio = pixelRatio();
    const bool covered = picture_ && !picture_->Empty() && !hasPreview() &&
                         picture_->Width() >= std::ceil(box_->width() * ratio - 1e-9) &&
                         picture_->Height() >= std::ceil(box_->height() * ratio - 1e-9);
    if (!covered) painter.fillRect(box_->rect(), palette().brush(QPalette::Dark));
    if (!picture_ || picture_->Empty()) {
        emit painted();
        return;
    }
    QImage image(picture_->Bytes().data(), picture_->Width(), picture_->Height(), 3 * picture_->Width(),
                 QImage::Format_RGB888);
    // Picture pixels are device pixels.
    image.setDevicePixelRatio(ratio);
    if (hasPreview()) {
        painter.save();
        painter.scale(1.0 / ratio, 1.0 / ratio);
        painter.translate(preview_.offsetX, preview_.offsetY);
        painter.scale(preview_.scaleX, preview_.scaleY);
        // Scaled drawing is quick from the screen's format only.
        if (previewSourceStale_ || previewSource_.size() != image.size()) {
            previewSource_ = image.convertToFormat(QImage::Format_RGB32);
            previewSourceStale_ = false;
        }
        painter.drawImage(QPointF(0, 0), previewSource_);
        painter.restore();
    } else {
        painter.drawImage(QPointF(0, 0), image);
    }
    if (hasSelection_ && !hasPreview()) {
        // The selection is kept in picture pixels; its lines and handles
        // keep their size on the screen.
        painter.save();
        painter.scale(1.0 / ratio, 1.0 / ratio);
        const QRect r = selectionQRect();
        const int handle = static_cast<int>(std::lround(kHandleSize * ratio)) | 1;
        const double line = ratio;
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::black, line, Qt::SolidLine));
        painter.drawRect(r);
        painter.setPen(QPen(Qt::white, line, Qt::DashLine));
        painter.drawRect(r);
        painter.setPen(QPen(Qt::black, line));
        painter.setBrush(Qt::white);
        for (const QPoint& p : HandlePoints(r))
            painter.drawRect(p.x() - handle / 2, p.y() - handle / 2, handle - 1, handle - 1);
        painter.restore();
    }
    emit painted();
}

int PictureView::handleAt(QPoint at) const {
    const auto points = HandlePoints(selectionQRect());
    const int reach = static_cast<int>(std::lround(kHandleReach * pixelRatio()));
    for (int i = 0; i < 8; ++i) {
        const QPoint d = at - points[static_cast<size_t>(i)];
        if (std::abs(d.x()) <= reach && std::abs(d.y()) <= reach) return i;
    }
    return -1;
}

void PictureView::press(QMouseEvent* event, bool doubleClick) {
    const QPoint boxAt = event->position().toPoint();
    const QPoint at = toPicture(boxAt);
    // The window's handler runs first: it may change the action mode.
    emit pressed(boxAt, StateOf(event, doubleClick));
    drag_ = Drag::None;
    if (event->button() != Qt::LeftButton || doubleClick || actionMode_ != ActionMode::EditSelection || !picture_)
        return;
    dragStart_ = at;
    dragRect_ = selectionQRect();
    handle_ = hasSelection_ ? handleAt(at) : -1;
    if (handle_ >= 0) {
        drag_ = Drag::Resize;
    } else if (hasSelection_ && dragRect_.normalized().contains(at)) {
        drag_ = Drag::Move;
    } else {
        drag_ = Drag::Create;
        setHasSelection(false);
    }
}

void PictureView::trackDrag(QPoint at) {
    switch (drag_) {
    case Drag::None:
        return;
    case Drag::Create: {
        selection_.left = std::min(dragStart_.x(), at.x());
        selection_.top = std::min(dragStart_.y(), at.y());
        selection_.width = std::abs(at.x() - dragStart_.x());
        selection_.height = std::abs(at.y() - dragStart_.y());
        setHasSelection(selection_.width > 0 || selection_.height > 0);
        break;
    }
    case Drag::Move: {
        const QPoint d = at - dragStart_;
        selection_.left = dragRect_.x() + d.x();
        selection_.top = dragRect_.y() + d.y();
        break;
    }
    case Drag::Resize: {
        int l = dragRect_.x();
        int t = dragRect_.y();
        int r = l + dragRect_.width();
        int b = t + dragRect_.height();
        const QPoint d = at - dragStart_;
        // Handles 0..7 clockwise from the top-left corner.
        if (handle_ == 0 || handle_ == 6 || handle_ == 7) l += d.x();
        if (handle_ == 2 || handle_ == 3 || handle_ == 4) r += d.x();
        if (handle_ == 0 || handle_ == 1 || handle_ == 2) t += d.y();
        if (handle_ == 4 || handle_ == 5 || handle_ == 6) b += d.y();
        selection_ = engine::PixelRect{std::min(l, r), std::min(t, b), std::abs(r - l), std::abs(b - t)};
        break;
    }
    }
    box_->update();
}

void PictureView::moveTo(QMouseEvent* event) {
    const QPoint boxAt = event->position().toPoint();
    if (event->buttons() & Qt::LeftButton) trackDrag(toPicture(boxAt));
    emit moved(boxAt, StateOf(event));
}

void PictureView::release(QMouseEvent* event) {
    const QPoint boxAt = event->position().toPoint();
    const QPoint at = toPicture(boxAt);
    if (event->button() == Qt::LeftButton && drag_ != Drag::None) {
        trackDrag(at);
        if (drag_ == Drag::Create && selection_.width == 0 && selection_.height == 0) setHasSelection(false);
        drag_ = Drag::None;
    }
    emit released(boxAt, StateOf(event));
}

}  // namespace app

#include "image_view.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <array>

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
}  // namespace

ShiftState ShiftOf(const QMouseEvent* event, bool doubleClick) {
    return ShiftState{event->buttons(), event->modifiers(), doubleClick};
}

PictureBox::PictureBox(TPGImage* owner) : QWidget(nullptr), owner_(owner) {
    setObjectName(QStringLiteral("PicBox"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setContextMenuPolicy(Qt::CustomContextMenu);
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    owner_->Paint(painter);
}

void PictureBox::mousePressEvent(QMouseEvent* event) { owner_->Press(event, false); }
void PictureBox::mouseDoubleClickEvent(QMouseEvent* event) { owner_->Press(event, true); }
void PictureBox::mouseMoveEvent(QMouseEvent* event) { owner_->MoveTo(event); }
void PictureBox::mouseReleaseEvent(QMouseEvent* event) { owner_->Release(event); }

TPGImage::TPGImage(QWidget* parent) : QScrollArea(parent), box_(new PictureBox(this)) {
    setObjectName(QStringLiteral("PGImage1"));
    setWidgetResizable(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setBackgroundRole(QPalette::Dark);
    box_->resize(0, 0);
    setWidget(box_);
}

TPGImage::~TPGImage() = default;

void TPGImage::SetPicture(std::unique_ptr<imaging::Picture> picture) {
    const QSize before = box_->size();
    picture_ = std::move(picture);
    const QSize after = picture_ ? QSize(picture_->Width(), picture_->Height()) : QSize(0, 0);
    box_->resize(after);
    box_->update();
    if (after != before) emit NewAutoSize(after.width(), after.height());
}

void TPGImage::PictureChanged() { box_->update(); }

QPoint TPGImage::ToPicture(QPoint at) const {
    const int boxWidth = box_->width();
    const int boxHeight = box_->height();
    const int width = picture_ ? picture_->Width() : 0;
    const int height = picture_ ? picture_->Height() : 0;
    const int x = boxWidth == 0 ? 0 : static_cast<int>(int64_t{at.x()} * width / boxWidth);
    const int y = boxHeight == 0 ? 0 : static_cast<int>(int64_t{at.y()} * height / boxHeight);
    return QPoint(x, y);
}

void TPGImage::SetSelection(bool on) {
    if (selection_ == on) return;
    selection_ = on;
    if (!on) drag_ = Drag::None;
    box_->update();
    emit SelectionChanged();
}

void TPGImage::SetSelectionLeft(int value) { selLeft_ = value; box_->update(); }
void TPGImage::SetSelectionTop(int value) { selTop_ = value; box_->update(); }
void TPGImage::SetSelectionWidth(int value) { selWidth_ = value; box_->update(); }
void TPGImage::SetSelectionHeight(int value) { selHeight_ = value; box_->update(); }

void TPGImage::SetActionMode(TActionMode mode) {
    actionMode_ = mode;
    if (mode != TActionMode::amMoveResizeCreateSelection) drag_ = Drag::None;
}

void TPGImage::Paint(QPainter& painter) {
    if (!picture_ || picture_->Empty()) return;
    const QImage image(picture_->Bytes().data(), picture_->Width(), picture_->Height(),
                       3 * picture_->Width(), QImage::Format_RGB888);
    painter.drawImage(0, 0, image);
    if (!selection_) return;
    const QRect r = SelectionRect();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    painter.drawRect(r);
    painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
    painter.drawRect(r);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    for (const QPoint& p : HandlePoints(r))
        painter.drawRect(p.x() - kHandleSize / 2, p.y() - kHandleSize / 2, kHandleSize - 1,
                         kHandleSize - 1);
}

int TPGImage::HandleAt(QPoint at) const {
    const auto points = HandlePoints(SelectionRect());
    for (int i = 0; i < 8; ++i) {
        const QPoint d = at - points[static_cast<size_t>(i)];
        if (std::abs(d.x()) <= kHandleReach && std::abs(d.y()) <= kHandleReach) return i;
    }
    return -1;
}

void TPGImage::Press(QMouseEvent* event, bool doubleClick) {
    const QPoint at = event->position().toPoint();
    // The window's handler runs first: it may change the action mode.
    emit MouseDown(at, ShiftOf(event, doubleClick));
    drag_ = Drag::None;
    if (event->button() != Qt::LeftButton || doubleClick ||
        actionMode_ != TActionMode::amMoveResizeCreateSelection || !picture_)
        return;
    dragStart_ = at;
    dragRect_ = SelectionRect();
    handle_ = selection_ ? HandleAt(at) : -1;
    if (handle_ >= 0) {
        drag_ = Drag::Resize;
    } else if (selection_ && dragRect_.normalized().contains(at)) {
        drag_ = Drag::Move;
    } else {
        drag_ = Drag::Create;
        SetSelection(false);
    }
}

void TPGImage::TrackDrag(QPoint at) {
    switch (drag_) {
    case Drag::None:
        return;
    case Drag::Create: {
        const int left = std::min(dragStart_.x(), at.x());
        const int top = std::min(dragStart_.y(), at.y());
        selLeft_ = left;
        selTop_ = top;
        selWidth_ = std::abs(at.x() - dragStart_.x());
        selHeight_ = std::abs(at.y() - dragStart_.y());
        SetSelection(selWidth_ > 0 || selHeight_ > 0);
        break;
    }
    case Drag::Move: {
        const QPoint d = at - dragStart_;
        selLeft_ = dragRect_.x() + d.x();
        selTop_ = dragRect_.y() + d.y();
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
        selLeft_ = std::min(l, r);
        selTop_ = std::min(t, b);
        selWidth_ = std::abs(r - l);
        selHeight_ = std::abs(b - t);
        break;
    }
    }
    box_->update();
}

void TPGImage::MoveTo(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->buttons() & Qt::LeftButton) TrackDrag(at);
    emit PicBoxMouseMove(at, ShiftOf(event));
}

void TPGImage::Release(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && drag_ != Drag::None) {
        TrackDrag(at);
        if (drag_ == Drag::Create && selWidth_ == 0 && selHeight_ == 0) SetSelection(false);
        drag_ = Drag::None;
    }
    emit PicBoxMouseUp(at, ShiftOf(event));
}

}  // namespace app

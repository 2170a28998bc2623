// The picture view: shows one picture (and owns it) in a scrolling area,
// keeps a selection rectangle that a left drag creates, moves and resizes,
// and passes the mouse events of the picture on. A picture pixel is a
// device pixel: at a scale factor of 2 the box is half the picture's size
// in the widget's pixels, and the picture is never pixel-doubled. With Fit
// to window the box fills the view (no scroll bars); a preview mapping can
// show the picture moved or scaled until the next one replaces it.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QScrollArea>
#include <memory>

#include "picture.h"
#include "view_navigation.h"

namespace app {

// What a left drag on the picture does.
enum class ActionMode {
    None,           // nothing
    EditSelection,  // creates, moves and resizes the selection rectangle
};

// The buttons and keys of a mouse event, as the navigation reads them.
struct MouseState {
    Qt::MouseButtons buttons;
    Qt::KeyboardModifiers modifiers;
    bool doubleClick = false;

    // Exactly the left button: no Shift, Ctrl or Alt, no double click.
    bool leftAlone() const {
        return buttons == Qt::LeftButton &&
               !(modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) && !doubleClick;
    }
};

class PictureBox;

class PictureView : public QScrollArea {
    Q_OBJECT
public:
    explicit PictureView(QWidget* parent = nullptr);
    ~PictureView() override;

    imaging::Picture* picture() const { return picture_.get(); }
    // Takes the picture over and hands back the one shown before; reports a
    // new size through pictureResized.
    std::unique_ptr<imaging::Picture> setPicture(std::unique_ptr<imaging::Picture> picture);
    // The pixels changed: repaint.
    void pictureChanged();
    // The pixels changed; the next paint shows them (no repaint asked for).
    void pixelsChanged() { previewSourceStale_ = true; }

    // The widget the picture is drawn on.
    QWidget* pictureBox() const;
    // Picture (device) pixels per pixel of the box.
    double pixelRatio() const;
    // A picture-box position in picture pixels, rounded down (0 without a
    // picture); at a ratio of 1 the position itself.
    QPoint toPicture(QPoint boxPosition) const;
    // The same without rounding.
    QPointF toPictureF(QPointF boxPosition) const;

    // Fit to window: the box fills the view, which shows no scroll bars.
    bool fitToWindow() const { return fit_; }
    void setFitToWindow(bool on);
    // The picture size that fills the view, in device pixels.
    QSize fittingPictureSize() const;
    // The box's size for the picture, in the box's own pixels.
    QSize boxSizeFor(const imaging::Picture* picture) const;

    // Shows the picture's position u at u * scale + offset (picture pixels)
    // until cleared; a new picture clears it.
    void setPreview(const engine::GridMapping& mapping);
    void clearPreview();
    const engine::GridMapping& preview() const { return preview_; }
    bool hasPreview() const { return !(preview_ == engine::GridMapping{}); }
    // How long the last paint took.
    double lastPaintMilliseconds() const { return lastPaintMilliseconds_; }

    bool hasSelection() const { return hasSelection_; }
    void removeSelection();
    // The rectangle as stored, without clamping to the picture.
    engine::PixelRect selectionRect() const { return selection_; }
    void setSelectionRect(const engine::PixelRect& rect);

    ActionMode actionMode() const { return actionMode_; }
    void setActionMode(ActionMode mode);

    // The file the picture came from ("" for a new picture).
    QString fileName() const { return fileName_; }
    void setFileName(const QString& name) { fileName_ = name; }

signals:
    void pressed(QPoint position, app::MouseState state);
    void moved(QPoint position, app::MouseState state);
    void released(QPoint position, app::MouseState state);
    // The box's new size for a picture of another size (its own pixels).
    void pictureResized(int width, int height);
    void selectionChanged();
    // The view's visible area changed size.
    void viewResized();
    // A paint of the picture is done.
    void painted();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class PictureBox;
    enum class Drag { None, Create, Move, Resize };

    void paint(QPainter& painter);
    void press(QMouseEvent* event, bool doubleClick);
    void moveTo(QMouseEvent* event);
    void release(QMouseEvent* event);
    void trackDrag(QPoint at);
    void setHasSelection(bool on);
    int handleAt(QPoint at) const;
    QRect selectionQRect() const;
    void sizeBox();

    PictureBox* box_;
    bool fit_ = false;
    engine::GridMapping preview_;
    // The picture in the screen's own format, for previews drawn scaled
    // (converted once, not at every paint of a drag).
    QImage previewSource_;
    bool previewSourceStale_ = true;
    double lastPaintMilliseconds_ = 0.0;
    std::unique_ptr<imaging::Picture> picture_;
    QString fileName_;
    bool hasSelection_ = false;
    engine::PixelRect selection_;
    ActionMode actionMode_ = ActionMode::None;

    Drag drag_ = Drag::None;
    int handle_ = -1;
    QPoint dragStart_;
    QRect dragRect_;
};

}  // namespace app

Q_DECLARE_METATYPE(app::MouseState)

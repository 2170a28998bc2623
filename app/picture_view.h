// The picture view: shows one picture (and owns it) in a scrolling area,
// keeps a selection rectangle that a left drag creates, moves and resizes,
// and passes the mouse events of the picture on.
#pragma once

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
    // Takes the picture over and frees the one shown before; reports a new
    // size through pictureResized.
    void setPicture(std::unique_ptr<imaging::Picture> picture);
    // The pixels changed: repaint.
    void pictureChanged();

    // The widget the picture is drawn on; its pixels are picture pixels.
    QWidget* pictureBox() const;
    // A picture-box position in picture pixels: x * picture width / box
    // width with integer division (0 when the box has no width); same for y.
    QPoint toPicture(QPoint boxPosition) const;

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
    void pictureResized(int width, int height);
    void selectionChanged();

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

    PictureBox* box_;
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

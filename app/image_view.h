// The picture view PGImage1: shows one picture (and owns it) in a scrolling
// area, keeps a selection rectangle that a left drag creates, moves and
// resizes, and passes the mouse events of its picture box on.
#pragma once

#include <QPoint>
#include <QRect>
#include <QScrollArea>
#include <QWidget>
#include <memory>

#include "picture.h"

namespace app {

enum class TActionMode {
    amMoveImage,
    amMoveResizeCreateSelection,
    amMoveSelection,
    amMoveSelectionMoveImage,
    amCreateSelection,
    amNone,
};

// The buttons and keys of a mouse event, as the navigation reads them.
struct ShiftState {
    Qt::MouseButtons buttons;
    Qt::KeyboardModifiers modifiers;
    bool doubleClick = false;

    // Exactly the left button: no Shift, Ctrl or Alt, no double click.
    bool LeftAlone() const {
        return buttons == Qt::LeftButton &&
               !(modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) &&
               !doubleClick;
    }
};

class TPGImage;

// The widget that draws the picture at its natural size; its pixels are
// picture pixels.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(TPGImage* owner);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TPGImage* owner_;
};

class TPGImage : public QScrollArea {
    Q_OBJECT
public:
    explicit TPGImage(QWidget* parent = nullptr);
    ~TPGImage() override;

    imaging::Picture* Picture() const { return picture_.get(); }
    // Takes the picture over and frees the one shown before; reports a new
    // size through NewAutoSize.
    void SetPicture(std::unique_ptr<imaging::Picture> picture);
    // The pixels changed: repaint.
    void PictureChanged();

    PictureBox* PicBox() const { return box_; }
    // A picture-box position in picture pixels: x * picture width / box
    // width with integer division (0 when the box has no width); same for y.
    QPoint ToPicture(QPoint boxPosition) const;

    bool Selection() const { return selection_; }
    void SetSelection(bool on);
    int SelectionLeft() const { return selLeft_; }
    int SelectionTop() const { return selTop_; }
    int SelectionWidth() const { return selWidth_; }
    int SelectionHeight() const { return selHeight_; }
    void SetSelectionLeft(int value);
    void SetSelectionTop(int value);
    void SetSelectionWidth(int value);
    void SetSelectionHeight(int value);

    TActionMode ActionMode() const { return actionMode_; }
    void SetActionMode(TActionMode mode);

    // The file the picture came from ("" for a new picture).
    QString FileName() const { return fileName_; }
    void SetFileName(const QString& name) { fileName_ = name; }

signals:
    void MouseDown(QPoint position, app::ShiftState shift);
    void PicBoxMouseMove(QPoint position, app::ShiftState shift);
    void PicBoxMouseUp(QPoint position, app::ShiftState shift);
    void NewAutoSize(int width, int height);
    void SelectionChanged();

private:
    friend class PictureBox;
    enum class Drag { None, Create, Move, Resize };

    void Paint(QPainter& painter);
    void Press(QMouseEvent* event, bool doubleClick);
    void MoveTo(QMouseEvent* event);
    void Release(QMouseEvent* event);
    void TrackDrag(QPoint at);
    int HandleAt(QPoint at) const;
    QRect SelectionRect() const { return QRect(selLeft_, selTop_, selWidth_, selHeight_); }

    PictureBox* box_;
    std::unique_ptr<imaging::Picture> picture_;
    QString fileName_;
    bool selection_ = false;
    int selLeft_ = 0;
    int selTop_ = 0;
    int selWidth_ = 0;
    int selHeight_ = 0;
    TActionMode actionMode_ = TActionMode::amNone;

    Drag drag_ = Drag::None;
    int handle_ = -1;
    QPoint dragStart_;
    QRect dragRect_;
};

// Shift state of a Qt mouse event.
ShiftState ShiftOf(const QMouseEvent* event, bool doubleClick = false);

}  // namespace app

Q_DECLARE_METATYPE(app::ShiftState)

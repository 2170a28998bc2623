#include "flat_button.h"

#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace app {

FlatButton::FlatButton(const QString& text, QWidget* parent) : QPushButton(text, parent) { setFlat(true); }

void FlatButton::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    if (!hasFocus()) return;
    QStylePainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(2, 2, -2, -2);
    option.backgroundColor = palette().color(QPalette::Button);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

}  // namespace app

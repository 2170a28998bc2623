#include "status_notice.h"

#include <QFontMetrics>
#include <QResizeEvent>

namespace app {

StatusNotice::StatusNotice(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("statusNotice"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void StatusNotice::setNotice(const QString& text) {
    if (text == notice_) return;
    notice_ = text;
    setToolTip(text);
    updateGeometry();
    showElided();
}

// Room for the shortest notice, "Aborted", whatever the window's width.
QSize StatusNotice::minimumSizeHint() const {
    return QSize(fontMetrics().horizontalAdvance(tr("Aborted")) + 2 * margin() + 8, QLabel::minimumSizeHint().height());
}

QSize StatusNotice::sizeHint() const {
    return QSize(fontMetrics().horizontalAdvance(notice_) + 2 * margin() + 8, QLabel::sizeHint().height());
}

void StatusNotice::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    showElided();
}

void StatusNotice::showElided() {
    setText(fontMetrics().elidedText(notice_, Qt::ElideMiddle, std::max(0, contentsRect().width() - 2 * margin())));
}

}  // namespace app

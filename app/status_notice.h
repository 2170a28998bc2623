// A line of the status bar that says how the last piece of work ended
// ("Aborted", where an export went). A text longer than the room it gets is
// shortened in its middle, the whole of it in the tool tip.
#pragma once

#include <QLabel>
#include <QString>

namespace app {

class StatusNotice : public QLabel {
    Q_OBJECT
public:
    explicit StatusNotice(QWidget* parent = nullptr);

    void setNotice(const QString& text);
    const QString& notice() const { return notice_; }

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showElided();

    QString notice_;
};

}  // namespace app

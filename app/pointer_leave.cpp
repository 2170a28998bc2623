#include "pointer_leave.h"

#include <QEvent>

namespace app {

namespace {
class LeaveFilter : public QObject {
public:
    LeaveFilter(QWidget* widget, std::function<void()> action) : QObject(widget), action_(std::move(action)) {}

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Leave) action_();
        return false;
    }

private:
    std::function<void()> action_;
};
}  // namespace

void OnPointerLeave(QWidget* widget, std::function<void()> action) {
    widget->installEventFilter(new LeaveFilter(widget, std::move(action)));
}

}  // namespace app

#include "guarded_application.h"

#include <QMessageBox>
#include <QTimer>
#include <new>

namespace app {

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        report(FaultText(std::current_exception()));
    }
    return false;
}

QString GuardedApplication::FaultText(const std::exception_ptr& fault) {
    QString reason;
    try {
        std::rethrow_exception(fault);
    } catch (const std::bad_alloc&) {
        reason = tr("there is not enough memory");
    } catch (const std::exception& e) {
        reason = QString::fromLocal8Bit(e.what());
    } catch (...) {
        reason = tr("an unknown fault");
    }
    return tr("The command could not be completed: %1").arg(reason);
}

void GuardedApplication::report(const QString& text) {
    if (pending_.contains(text)) return;
    pending_ << text;
    if (pending_.size() == 1 && !showing_) QTimer::singleShot(0, this, &GuardedApplication::showPending);
}

void GuardedApplication::showPending() {
    if (showing_ || pending_.isEmpty()) return;
    showing_ = true;
    const QString text = pending_.join(QLatin1Char('\n'));
    pending_.clear();
    if (reportFault)
        reportFault(text);
    else
        QMessageBox::warning(nullptr, tr("halvane"), text);
    showing_ = false;
    if (!pending_.isEmpty()) QTimer::singleShot(0, this, &GuardedApplication::showPending);
}

}  // namespace app

// The desktop program's application object: what an event handler throws
// (a menu command, a timer, a dialog, the file given at start-up) is caught
// where Qt hands the event over and reported in a message box; the program
// goes on with its next event.
#pragma once

#include <QApplication>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>

namespace app {

class GuardedApplication : public QApplication {
    Q_OBJECT
public:
    GuardedApplication(int& argc, char** argv);

    // Shows what went wrong; unset, a message box of its own.
    std::function<void(const QString& text)> reportFault;

    bool notify(QObject* receiver, QEvent* event) override;

    // The sentence a caught exception is reported with.
    static QString FaultText(const std::exception_ptr& fault);

private:
    // Reported after the event, outside the handler that threw; a fault
    // met again before then is reported once.
    void report(const QString& text);
    void showPending();

    QStringList pending_;
    bool showing_ = false;
};

}  // namespace app

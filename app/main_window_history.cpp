// The history: every new picture and every change of blend, channel order or
// Julia mode is a step; Back and Forward restore the neighbouring step's
// settings and image size and compute them.
#include <QAction>

#include "main_window.h"

namespace app {

namespace {
// Our own records read without a word; a message would be a fault.
class QuietSink : public engine::MessageSink {
public:
    void ShowMessage(const std::string&, const std::string&) override {}
};
}  // namespace

void MainWindow::recordHistory() {
    if (core_.Context.ImageWidth <= 0 || core_.Context.ImageHeight <= 0) return;
    history_.Record(params::RecordSettings(core_.Context, core_.View));
    updateActions();
}

void MainWindow::goBack() {
    if (refuseWithoutPlugin()) return;
    if (const params::SettingsRecord* record = history_.Back()) restoreRecord(*record);
    updateActions();
}

void MainWindow::goForward() {
    if (refuseWithoutPlugin()) return;
    if (const params::SettingsRecord* record = history_.Forward()) restoreRecord(*record);
    updateActions();
}

void MainWindow::restoreRecord(const params::SettingsRecord& record) {
    runBetweenRows([this, record] {
        QuietSink quiet;
        params::RestoreSettings(
            record, params::LoadTarget{core_.Context, core_.ParamsValid, core_.LastFormulaNo, names_, &core_.View},
            quiet, "history");
        resizePicture(record.width, record.height);
        showSettingsInDialogs();
        refreshCursor();
        restoringHistory_ = true;
        requestGeneration();
        updateActions();
    });
}

}  // namespace app

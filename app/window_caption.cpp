#include "window_caption.h"

#include <QCoreApplication>
#include <algorithm>

#include "picture_settings.h"

namespace app {

params::SettingsRecord CaptionRecord(const TIterationContext& ctx) {
    TIterationContext settings = ctx;
    engine::FitViewToImage(settings);
    settings.JuliaFixed = 0;
    settings.FormulaName = nullptr;
    settings.RenderName = nullptr;
    settings.Maxit = std::min(settings.Maxit, kMaxIterationLimit);
    return params::RecordSettings(settings);
}

void WindowCaption::setFile(const QString& path, const params::SettingsRecord& settings) {
    file_ = path;
    fileSettings_ = settings;
}

void WindowCaption::clearFile() {
    file_.clear();
    fileSettings_ = {};
}

bool WindowCaption::modified(const params::SettingsRecord& now) const {
    return !busy() && !file_.isEmpty() && now != fileSettings_;
}

QString WindowCaption::title(const params::SettingsRecord& now) const {
    if (busyRows_) return QCoreApplication::translate("app::MainWindow", "Busy... %1").arg(*busyRows_);
    if (file_.isEmpty()) return QCoreApplication::translate("app::MainWindow", kInitialCaption);
    // A "[*]" in the path itself is shown as it is, not as the marker.
    QString path = file_;
    path.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    return modified(now) ? path + QStringLiteral("[*]") : path;
}

}  // namespace app

// What the main window's caption says: "Busy... N" while a picture is being
// computed, else the file the picture belongs to (with Qt's "[*]" marker
// while the settings differ from the file's), else "halvane-ware".
#pragma once

#include <QString>
#include <optional>

#include "iteration_context.h"
#include "settings_record.h"

namespace app {

// The window caption before any file.
inline const char* const kInitialCaption = "halvane-ware";

// The settings as the caption compares them: what every generation derives
// from them (the fitted edges, the fixed Julia constant, the plug-in's
// names, the lowered limit) is left out, so that a picture computed from a
// file still matches it.
params::SettingsRecord CaptionRecord(const TIterationContext& ctx);

class WindowCaption {
public:
    // The picture belongs to `path` now, with these settings.
    void setFile(const QString& path, const params::SettingsRecord& settings);
    // The picture belongs to no file (after New).
    void clearFile();
    // The file the picture belongs to; "" for none.
    const QString& file() const { return file_; }

    void setBusy(int rowsLeft) { busyRows_ = rowsLeft; }
    void clearBusy() { busyRows_.reset(); }
    bool busy() const { return busyRows_.has_value(); }

    // Whether the settings differ from the file's (never while busy).
    bool modified(const params::SettingsRecord& now) const;
    // The window title for QWidget::setWindowTitle.
    QString title(const params::SettingsRecord& now) const;

private:
    QString file_;
    params::SettingsRecord fileSettings_;
    std::optional<int> busyRows_;
};

}  // namespace app

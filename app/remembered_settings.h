// What the program remembers from one run to the next, in the platform's
// usual place (~/.config/halvane/halvane.conf on Linux): Fit to window, the
// window's geometry and the tool windows' places, the last folder of each
// file dialog, and the Export dialog's last choice. Every value is checked
// when read: a damaged or foreign file is ignored, never fatal, and the
// first value written replaces it.
#pragma once

#include <QByteArray>
#include <QPoint>
#include <QString>
#include <optional>

class QSettings;

namespace app {

// The file dialogs whose folders are remembered.
namespace folder {
inline const char* const kOpen = "open";
inline const char* const kSave = "save";
inline const char* const kParameters = "parameters";
inline const char* const kExport = "export";
}  // namespace folder

struct RememberedExport {
    int width = 0;
    int height = 0;
    int samples = 1;
    QString suffix;  // the format, by its file extension ("png")
};

class RememberedSettings {
public:
    RememberedSettings();

    bool fitToWindow() const;
    void setFitToWindow(bool on);

    QByteArray windowGeometry() const;
    void setWindowGeometry(const QByteArray& geometry);

    // A tool window's last top-left corner, when it lies on a screen.
    std::optional<QPoint> toolWindowPlace(const QString& window) const;
    void setToolWindowPlace(const QString& window, QPoint place);

    // The last folder of a file dialog, when it still exists ("" otherwise).
    QString folder(const char* dialog) const;
    // Remembers the folder of `path` (a file chosen in that dialog).
    void setFolderOf(const char* dialog, const QString& path);

    std::optional<RememberedExport> lastExport() const;
    void setLastExport(const RememberedExport& choice);

    // Whether the file was found damaged (and so ignored).
    bool damaged() const { return damaged_; }

private:
    void write(const QString& key, const QVariant& value);

    bool damaged_ = false;
};

}  // namespace app

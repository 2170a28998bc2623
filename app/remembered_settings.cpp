#include "remembered_settings.h"

#include <QDir>
#include <algorithm>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QSettings>
#include <QVariant>

#include "image_file.h"
#include "picture.h"

namespace app {

namespace {

QSettings Open() { return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("halvane"), QStringLiteral("halvane")); }

std::optional<int> IntIn(const QVariant& value, int low, int high) {
    bool ok = false;
    const int n = value.toString().toInt(&ok);
    if (!ok || n < low || n > high) return std::nullopt;
    return n;
}

bool OnSomeScreen(QPoint place) {
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().contains(place)) return true;
    return false;
}

}  // namespace

RememberedSettings::RememberedSettings() {
    QSettings settings = Open();
    settings.allKeys();  // reads the file
    damaged_ = settings.status() != QSettings::NoError;
}

void RememberedSettings::write(const QString& key, const QVariant& value) {
    QSettings settings = Open();
    if (damaged_) {
        // Nothing of a damaged file is kept.
        settings.clear();
        damaged_ = false;
    }
    settings.setValue(key, value);
}

bool RememberedSettings::fitToWindow() const {
    if (damaged_) return false;
    return Open().value(QStringLiteral("FitToWindow")).toString() == QLatin1String("true");
}

void RememberedSettings::setFitToWindow(bool on) { write(QStringLiteral("FitToWindow"), on); }

QByteArray RememberedSettings::windowGeometry() const {
    if (damaged_) return {};
    const QVariant value = Open().value(QStringLiteral("Window/Geometry"));
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

void RememberedSettings::setWindowGeometry(const QByteArray& geometry) {
    write(QStringLiteral("Window/Geometry"), geometry);
}

std::optional<QPoint> RememberedSettings::toolWindowPlace(const QString& window) const {
    if (damaged_) return std::nullopt;
    const QVariant value = Open().value(QStringLiteral("ToolWindows/") + window);
    if (value.typeId() != QMetaType::QPoint || !OnSomeScreen(value.toPoint())) return std::nullopt;
    return value.toPoint();
}

void RememberedSettings::setToolWindowPlace(const QString& window, QPoint place) {
    write(QStringLiteral("ToolWindows/") + window, place);
}

QString RememberedSettings::folder(const char* dialog) const {
    if (damaged_) return {};
    const QVariant value = Open().value(QStringLiteral("Folders/") + QLatin1String(dialog));
    if (value.typeId() != QMetaType::QString) return {};
    const QString folder = value.toString();
    return !folder.isEmpty() && QFileInfo(folder).isAbsolute() && QFileInfo(folder).isDir() ? folder : QString();
}

void RememberedSettings::setFolderOf(const char* dialog, const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!folder.isEmpty()) write(QStringLiteral("Folders/") + QLatin1String(dialog), folder);
}

std::optional<RememberedExport> RememberedSettings::lastExport() const {
    if (damaged_) return std::nullopt;
    QSettings settings = Open();
    const std::optional<int> width = IntIn(settings.value(QStringLiteral("Export/Width")), 1, imaging::Picture::kMaxSide);
    const std::optional<int> height = IntIn(settings.value(QStringLiteral("Export/Height")), 1, imaging::Picture::kMaxSide);
    const std::optional<int> samples = IntIn(settings.value(QStringLiteral("Export/Samples")), 1, 4);
    const QString suffix = settings.value(QStringLiteral("Export/Format")).toString().toLower();
    if (!width || !height || !samples) return std::nullopt;
    RememberedExport choice{*width, *height, *samples, QString()};
    // Only a format the program writes.
    const bool plain = std::all_of(suffix.begin(), suffix.end(), [](QChar c) { return c.isLetter(); });
    if (!suffix.isEmpty() && plain && imaging::CanSave(("x." + suffix).toStdString())) choice.suffix = suffix;
    return choice;
}

void RememberedSettings::setLastExport(const RememberedExport& choice) {
    write(QStringLiteral("Export/Width"), choice.width);
    write(QStringLiteral("Export/Height"), choice.height);
    write(QStringLiteral("Export/Samples"), choice.samples);
    write(QStringLiteral("Export/Format"), choice.suffix);
}

}  // namespace app

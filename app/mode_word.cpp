#include "mode_word.h"

#include <QGuiApplication>

#include "picture_settings.h"

namespace app {

namespace {
QString& Storage() {
    static QString word;
    return word;
}
}  // namespace

const QString& ModeWord() { return Storage(); }

void SetModeWord(const QString& word) {
    Storage() = word;
    if (word == QLatin1String(engine::kIdleTitle) && QGuiApplication::instance() != nullptr)
        QGuiApplication::setApplicationDisplayName(word);
}

}  // namespace app

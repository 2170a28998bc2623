// The process-wide mode word: a one-word instruction that a command leaves
// for the code that carries it out later ("NEW", "PARAM", "OPEN", "ERROR",
// the idle title or a parameter file's path).
#pragma once

#include <QString>

namespace app {

inline const QString kModeNew = QStringLiteral("NEW");
inline const QString kModeParam = QStringLiteral("PARAM");
inline const QString kModeOpen = QStringLiteral("OPEN");
inline const QString kModeError = QStringLiteral("ERROR");

const QString& ModeWord();

// Sets the word; the idle title is also shown as the application's display
// name, where the desktop shows an application title.
void SetModeWord(const QString& word);

}  // namespace app

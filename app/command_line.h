// halvane's command line: "halvane [options] [file]", read with
// QCommandLineParser (--help, --help-all with Qt's own options, --version).
#pragma once

#include <QString>

class QCoreApplication;

namespace app {

struct CommandLine {
    QString file;         // the file to open at start-up, or empty
    int exitStatus = -1;  // >= 0: exit with it at once (the error is printed)
};

// True when the command line asks for help or the version: that needs no
// screen, so the caller can start Qt without one.
bool AsksForTextOnly(int argc, const char* const* argv);

// Reads the application's arguments (Qt's own already taken out). Help and
// version are printed and the process exits with 0, as Qt's parser does; a
// bad command line is reported on stderr with status 2.
CommandLine ReadCommandLine(const QCoreApplication& application);

}  // namespace app

#include "command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <cstring>

namespace app {

namespace {

void Describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QCoreApplication::translate("app::CommandLine", "Halvane-Ware: compute, explore and save fractal pictures."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("file"),
        QCoreApplication::translate("app::CommandLine",
                                    "A parameter file (.vtx) or a picture that carries its settings, to load; "
                                    "or any other picture, to open."),
        QStringLiteral("[file]"));
}

}  // namespace

bool AsksForTextOnly(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--") == 0) return false;
        for (const char* text : {"-h", "--help", "--help-all", "-v", "--version"}) {
            if (std::strcmp(arg, text) == 0) return true;
        }
    }
    return false;
}

CommandLine ReadCommandLine(const QCoreApplication& application) {
    QCommandLineParser parser;
    Describe(parser);
    CommandLine result;
    const QStringList arguments = QCoreApplication::arguments();
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "halvane: %s\nTry 'halvane --help' for more information.\n",
                     qPrintable(parser.errorText()));
        result.exitStatus = 2;
        return result;
    }
    // Help and version (and their exit) as Qt prints them.
    parser.process(application);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        std::fprintf(stderr, "halvane: one file at most, got %lld\nTry 'halvane --help' for more information.\n",
                     static_cast<long long>(files.size()));
        result.exitStatus = 2;
        return result;
    }
    if (!files.isEmpty()) result.file = files.first();
    return result;
}

}  // namespace app

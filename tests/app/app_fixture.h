// A harness around the real windows: messages and file dialogs are answered
// and recorded instead of blocking.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main_window.h"

class QAction;

struct AppHarness {
    QStringList messages;
    QStringList messageTitles;
    // Answers of the next file dialogs, taken from the front ("" cancels).
    QStringList openAnswers;
    QStringList saveAnswers;
    // What the save dialog was offered as file name.
    QStringList offeredSaveNames;
    QStringList openFilters;
    std::function<int(QDialog&)> modalAnswer = [](QDialog&) { return int(QDialog::Rejected); };
    std::unique_ptr<app::TForm1> form;

    explicit AppHarness(std::vector<std::string> pluginFolders = engine::DefaultPluginFolders());
    ~AppHarness();

    // Shows the window and waits until the start-up picture is computed.
    bool StartAndWaitForFirstPicture();
    TIterationContext& Ctx() { return form->Context(); }
    QAction* Act(const char* name) const;
    QWidget* Box() const;
    QByteArray PictureBytes() const;
    // Applies a new size through the "XYSize" dialog.
    void ApplySize(int width, int height);
};

// Rows [first, last) of an RGB888 picture of the given width.
QByteArray Rows(const QByteArray& picture, int width, int first, int last);

int RunMainWindowTests(int argc, char** argv);
int RunNavigationTests(int argc, char** argv);
int RunDialogTests(int argc, char** argv);
int RunFileTests(int argc, char** argv);

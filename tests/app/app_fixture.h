// A harness around the real windows: messages and file dialogs are answered
// and recorded instead of blocking, and a test can wait for the generation.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QObject>
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
    QStringList openFolders;  // where the open dialogs would start
    std::function<int(QDialog&)> modalAnswer = [](QDialog&) { return int(QDialog::Rejected); };
    // Called as each message is recorded, with the window as it is then.
    std::function<void(const QString&)> onMessage;
    std::unique_ptr<app::MainWindow> form;
    // The window's own save dialog, before the harness answered it.
    std::function<QString(QWidget*, const QString&, const QString&, const QString&)> realSaveFileDialog;

    // With `recordMessages` false, messages show in real message boxes.
    // `firstStart`: the program remembers nothing of earlier windows.
    explicit AppHarness(std::vector<std::string> pluginFolders = engine::DefaultPluginFolders(),
                        bool recordMessages = true, const QString& startupFile = QString(), bool firstStart = true);
    ~AppHarness();

    // Shows the window and waits until the start-up picture is computed.
    bool StartAndWaitForFirstPicture();
    // Waits until no generation runs and no row is being computed.
    bool WaitUntilIdle();
    // Triggers the action and waits for what it started.
    void Do(QAction* action);
    TIterationContext& Ctx() { return form->settings(); }
    const app::MainWindowActions& A() const { return form->actions(); }
    QWidget* Box() const;
    QByteArray PictureBytes() const;
    // Applies a new size through the "XYSize" dialog and waits.
    void ApplySize(int width, int height);

    // A widget of the window or its dialogs by its object name.
    template <class T>
    T* Find(const char* name) const {
        return form->findChild<T*>(QLatin1String(name));
    }
};

// Rows [first, last) of an RGB888 picture of the given width.
QByteArray Rows(const QByteArray& picture, int width, int first, int last);

// The picture halvane-render makes of the settings' view, formula, methods
// and size (the New defaults otherwise), as RGB888 bytes; empty (with the
// reason in `error`) when it fails.
QByteArray RenderedByTool(const TIterationContext& settings, QString* error = nullptr);

// The desktop-program test classes, each run on its own or by function.
struct AppTestClass {
    const char* name;
    std::function<std::unique_ptr<QObject>()> make;
};
std::vector<AppTestClass>& AppTestClasses();
struct RegisterAppTests {
    RegisterAppTests(const char* name, std::function<std::unique_ptr<QObject>()> make);
};

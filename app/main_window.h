// The main window: the picture settings, the generation around the engine's
// core, the view and its navigation, menus, tool bars and the files. Its
// code is split by concern: main_window.cpp (the window and its dialogs),
// main_window_actions.cpp (menus, tool bars and their states),
// main_window_generation.cpp (driving a generation), main_window_navigation.cpp
// (the view), main_window_files.cpp (New, Open, Save As, parameter files)
// and main_window_explore.cpp (the view's motion wired to the menus, full
// screen, copy, and what the program remembers between runs).
#pragma once

#include <QCursor>
#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "generation.h"
#include "image_file.h"
#include "parameter_file.h"
#include "picture.h"
#include "picture_view.h"
#include "settings_history.h"
#include "view_navigation.h"
#include "window_caption.h"

class QAction;
class QDialog;
class QLabel;
class QMenu;
class QProgressDialog;
class QToolBar;

namespace app {

class AboutBox;
class ColourMixingDialog;
class ExportDialog;
class ExportRun;
class ImageSizeDialog;
class OptionsDialog;
class ParametersDialog;
class RememberedSettings;
class ViewMotion;
class StatusNotice;

// The idle title, shown where the platform shows an application's name.
inline const char* const kIdleTitle = "halvane-ware, v0.001";

// What the window is created with. The plug-in folders are searched in turn
// before the normal library search.
struct MainWindowSetup {
    std::vector<std::string> pluginFolders = engine::DefaultPluginFolders();
    // Every message box of the program (text, title); empty: a QMessageBox.
    std::function<void(const QString& text, const QString& title)> showMessage;
    // A file to open at start-up: settings (a parameter file or a picture
    // that carries them) are loaded, any other picture is opened.
    QString startupFile;
};

// The commands of the menus, the picture's pop-up menu and the tool bars,
// each created once. Where a menu item and a tool button do the same, they
// share one action.
struct MainWindowActions {
    QAction* newPicture = nullptr;
    QAction* openImage = nullptr;
    QAction* saveAs = nullptr;
    QAction* exportPicture = nullptr;
    QAction* loadParameterFile = nullptr;
    QAction* options = nullptr;
    QAction* exit = nullptr;
    QAction* draw = nullptr;  // a menu item that does nothing
    QAction* clearRectangle = nullptr;
    QAction* juliaMode = nullptr;
    QAction* insideOut = nullptr;
    QAction* rotate90 = nullptr;
    QAction* rotate90Mirror = nullptr;
    QAction* mirror = nullptr;
    QAction* resetCoordinates = nullptr;
    QAction* back = nullptr;
    QAction* forward = nullptr;
    QAction* fitColours = nullptr;
    std::array<QAction*, 8> formulas{};         // formula 0 to 7
    std::array<QAction*, 9> renderMethods{};    // render method 1 to 9 at [0] to [8]
    std::array<QAction*, 26> blendMethods{};    // blend method 1 to 26 at [0] to [25]
    std::array<QAction*, 6> channelOrders{};    // channel order 1 to 6 at [0] to [5]
    QAction* colourControls = nullptr;
    QAction* parameters = nullptr;
    QAction* imageSize = nullptr;
    QAction* about = nullptr;
    QAction* zoomIn = nullptr;  // the pop-up menu's "Zoom In (double click)"
    QAction* rectangleMode = nullptr;
    QAction* zoomInOutMode = nullptr;
    QAction* juliaIndicator = nullptr;  // the "J" button: shows Julia mode, never enabled
    QAction* zoom = nullptr;            // the tool button: enabled while there is a selection
    QAction* abort = nullptr;
    QAction* apply = nullptr;
    // Exploring: the picture follows the view's size; the View menu's keys.
    QAction* fitToWindow = nullptr;
    QAction* fullScreen = nullptr;
    QAction* viewZoomIn = nullptr;
    QAction* viewZoomOut = nullptr;
    QAction* panLeft = nullptr;
    QAction* panRight = nullptr;
    QAction* panUp = nullptr;
    QAction* panDown = nullptr;
    QAction* copyPicture = nullptr;
};

class MainWindow : public QMainWindow, private engine::GenerationHost {
    Q_OBJECT
public:
    // What the start-up timer is to do when it fires.
    enum class PendingCommand { None, NewPicture, LoadParameterFile };

    explicit MainWindow(MainWindowSetup setup = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The modal pieces, replaceable so that they can be answered without a
    // user: the file dialogs (caption, directory or file name, Qt filter;
    // "" means cancelled) and running a modal dialog.
    std::function<QString(QWidget*, const QString&, const QString&, const QString&)> openFileDialog;
    std::function<QString(QWidget*, const QString&, const QString&, const QString&)> saveFileDialog;
    std::function<int(QDialog&)> runModal;
    // Called after every computed row (its number), before the commands that
    // waited for the row's end run.
    std::function<void(int32_t row)> afterRowHook;

    // --- Commands ---
    void newPicture();
    void openImage();
    void saveAs();
    void exportPicture();
    void loadParameterFile();
    // Opens `path` as the start-up file is opened: settings are loaded,
    // any other picture is opened.
    void openFile(const QString& path);
    void editOptions();
    void clearRectangle();
    void toggleJuliaMode();
    void toggleInsideOut();
    void setRotation(int32_t mode);  // the same mode again switches it off
    void resetCoordinates();
    void goBack();
    void goForward();
    void selectFormula(int32_t formula);
    void selectRenderMethod(int32_t method);
    void selectBlendMethod(int32_t method);
    void selectChannelOrder(int32_t order);
    void zoomIntoSelection();
    void toggleZoomInOutMode();
    void toggleRectangleMode();
    void abortGeneration();
    void toggleParametersDialog();
    void toggleColourControls();
    void toggleImageSizeDialog();
    void applyImageSize();
    void applyColourControls();
    // Colour controls that spread the picture's values over the colour
    // waves; one history step, recoloured without computing.
    void fitColoursToPicture();
    void showAbout();
    void setFitToWindow(bool on);
    void toggleFullScreen();
    // The picture to the clipboard, with its settings as text.
    void copyPicture();

    // --- Generation ---
    // Computes the picture of the current settings; a running generation
    // gives way at the end of its current row.
    void requestGeneration();
    // Recolours from the render buffers, or computes pictures beyond them.
    void recolour();
    // Brings check marks and enabled states in line with the settings.
    void updateActions();

    // --- Export ---
    // Starts an export without its dialog; false when one is running.
    bool startExport(int width, int height, int factor, const QString& path);
    void cancelExport();
    bool isExporting() const;

    // --- State, for the dialogs and for tests ---
    const params::SettingsHistory& history() const { return history_; }
    const MainWindowActions& actions() const { return actions_; }
    TIterationContext& settings() { return core_.Context; }
    engine::GenerationCore& core() { return core_; }
    PictureView* pictureView() const { return view_; }
    ViewMotion* motion() const { return motion_; }
    imaging::Picture* currentPicture() const { return core_.CurrentImage; }
    QMenu* pictureMenu() const { return pictureMenu_; }
    // The file the picture belongs to: last saved, opened or loaded, "" before
    // any and after New.
    QString currentFile() const { return caption_.file(); }
    PendingCommand pendingCommand() const { return pending_; }
    // Generations started, and whether one is running.
    int generationCount() const { return generationCount_; }
    bool isGenerating() const { return generating_; }
    bool rectangleMode() const { return rectangleMode_; }
    bool zoomInMode() const { return zoomInMode_; }
    bool needsImageSetup() const { return needsImageSetup_; }
    double mousePlaneX() const { return mousePlaneX_; }
    double mousePlaneY() const { return mousePlaneY_; }
    QTimer& startupTimer() { return startupTimer_; }
    QTimer& busyTimer() { return busyTimer_; }
    QLabel* magnificationLabel() const { return magnificationLabel_; }
    QLabel* planePointLabel() const { return planePointLabel_; }
    // How the last generation or export ended ("Aborted", where a file went).
    QString statusNotice() const;
    const QCursor& ellipseCursor() const { return ellipseCursor_; }
    // Shows a message box (or hands it to the set-up's showMessage).
    void message(const QString& text, const QString& title = {});

signals:
    // An export ended: written (with `error` empty, or the messages shown),
    // cancelled, or failed.
    void exportDone(bool cancelled, const QString& error);
    // A generation ended (completed, aborted or replaced by none).
    void generationFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // main_window.cpp
    void createDialogs();
    bool refuseWithoutPlugin();
    void onPictureResized(int width, int height);
    void updateCaption();
    void setPendingCommand(PendingCommand command);
    // Shows a tool window; the first time beside this one, clear of the others.
    void showToolWindow(QDialog* dialog);
    void placeToolWindow(QDialog* dialog, bool firstTime);

    // main_window_actions.cpp
    void createMenus();
    void createToolBars();
    QAction* makeAction(const QString& text, const char* objectName, void (MainWindow::*handler)() = nullptr);
    QAction* makeToggle(const QString& text, const char* objectName, void (MainWindow::*handler)() = nullptr);

    // main_window_generation.cpp
    void onStartupTimer();
    void onBusyTimer();
    void startGeneration(engine::ComputeOrder order = engine::ComputeOrder::Rows);
    void continueGeneration();
    void onRowReady();
    void finishGeneration();
    // Runs `action` now, or, while a row is being computed, at its end:
    // what touches the picture, the render buffers or the record's pixel
    // fields waits for the row.
    void runBetweenRows(std::function<void()> action);
    void refreshCursor();
    void setActionModeByRectangleMode();
    // engine::GenerationHost
    void ShowMessage(const std::string& text, const std::string& title = {}) override;
    void SetAbortEnabled(bool enabled) override;
    void PictureChanged() override;
    void GenerationCompleted() override;
    void GenerationEnded() override;

    // main_window_navigation.cpp
    void onPicturePress(QPoint position, MouseState state);
    void onPictureMove(QPoint position, MouseState state);
    void onPictureRelease(QPoint position, MouseState state);
    void pickJuliaConstant();
    void showPlanePoint(QPoint picturePixel);
    void showMagnification();
    bool showZoomPreview();

    // main_window_files.cpp
    void setUpImage(std::unique_ptr<imaging::Picture> opened, const QString& path, const imaging::ImageInfo& info);
    void openImageFile(const QString& path);
    bool loadParameters(const QString& path);
    void showSettingsInDialogs();
    void resizePicture(int32_t width, int32_t height);
    QString proposedFileName() const;

    // main_window_history.cpp
    void recordHistory();
    void restoreRecord(const params::SettingsRecord& record);

    // main_window_explore.cpp
    void createExploreActions(QMenu* file, QMenu* image, QMenu* help);
    void createMotion();
    // Runs `prepare` between rows, then computes in passes; `sameStep`
    // replaces the history's current step instead of adding one.
    void computeView(std::function<void()> prepare, bool sameStep);
    // With Fit to window, the picture takes the view's size (stretched).
    void fitPictureToView();
    // Waits (with a dialog that can cancel) until the picture in progress is
    // finished; false when cancelled or when it ended unfinished.
    bool waitForPicture(const QString& caption);
    void restoreRemembered();
    void saveRemembered();

    // main_window_export.cpp
    void onExportProgress(int done, int total, double secondsLeft);
    void onExportFinished(bool cancelled, const QString& error);

    engine::GenerationCore core_;
    std::function<void(const QString&, const QString&)> showMessage_;
    MainWindowActions actions_;

    PictureView* view_ = nullptr;
    AboutBox* aboutBox_ = nullptr;
    ParametersDialog* parametersDialog_ = nullptr;
    ColourMixingDialog* colourDialog_ = nullptr;
    ImageSizeDialog* imageSizeDialog_ = nullptr;
    OptionsDialog* optionsDialog_ = nullptr;
    ExportDialog* exportDialog_ = nullptr;
    QProgressDialog* exportProgress_ = nullptr;
    ExportRun* exportRun_ = nullptr;
    ViewMotion* motion_ = nullptr;
    std::unique_ptr<RememberedSettings> remembered_;

    QMenu* pictureMenu_ = nullptr;
    QLabel* magnificationLabel_ = nullptr;
    QLabel* planePointLabel_ = nullptr;
    StatusNotice* notice_ = nullptr;
    QToolBar* commandBar_ = nullptr;
    QToolBar* generationBar_ = nullptr;

    QTimer startupTimer_;
    QTimer busyTimer_;
    QCursor ellipseCursor_;

    PendingCommand pending_ = PendingCommand::NewPicture;
    bool pluginMissing_ = false;
    std::vector<std::string> pluginFolders_;
    QString startupFile_;
    QString pendingParameterFile_;
    WindowCaption caption_;
    bool abortRequested_ = false;
    bool rectangleMode_ = false;
    bool zoomInMode_ = true;
    bool needsImageSetup_ = false;
    double mouseDownX_ = 0.0;
    double mouseDownY_ = 0.0;
    MouseState lastMouse_{};
    // The exact target of the last pick, beside the record's Sel* fields.
    engine::ExactPick pick_;
    double mousePlaneX_ = 0.0;
    double mousePlaneY_ = 0.0;
    imaging::ImageInfo imageInfo_;
    params::NameBuffers names_;

    bool generating_ = false;
    int generationCount_ = 0;
    bool atRowBoundary_ = false;
    QPoint lastMousePixel_;
    QList<QDialog*> placedToolWindows_;
    std::deque<std::function<void()>> betweenRows_;

    params::SettingsHistory history_;
    // The next generation restores a step of the history: it is no new step.
    bool restoringHistory_ = false;
    // The next generation continues the current step (a burst of motion).
    bool historySameStep_ = false;
    // The last generation computed every pixel.
    bool lastGenerationComplete_ = false;
    bool maximizedBeforeFullScreen_ = false;
    QByteArray geometryBeforeFullScreen_;
    QRect placeBeforeFullScreen_;
};

}  // namespace app

// The main window TForm1: the picture settings, the generation around the
// engine's core, the view and its navigation, menus, tool bars and the files.
#pragma once

#include <QCursor>
#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "generation.h"
#include "image_file.h"
#include "image_view.h"
#include "parameter_file.h"
#include "picture.h"

class QAction;
class QActionGroup;
class QDialog;
class QLabel;
class QMenu;
class QToolBar;
class TAboutBox;
class TForm2;
class TForm3;
class TForm4;
class TXYSize;

namespace app {

// What the window is created with. The plug-in folders are searched in turn
// before the normal library search.
struct TForm1Setup {
    std::vector<std::string> pluginFolders = engine::DefaultPluginFolders();
    // Every message box of the program (text, title); empty: a QMessageBox.
    std::function<void(const QString& text, const QString& title)> showMessage;
};

class TForm1 : public QMainWindow, public engine::GenerationHost {
    Q_OBJECT
public:
    explicit TForm1(TForm1Setup setup = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // The windows created after the main window, in start-up order.
    void AttachWindows(TAboutBox* about, TForm4* params, TForm3* colours, TXYSize* size,
                       TForm2* options);

    // The modal pieces, replaceable so that they can be answered without a
    // user: the file dialogs (caption, directory or file name, Qt filter;
    // "" means cancelled) and running a modal dialog.
    std::function<QString(QWidget*, const QString&, const QString&, const QString&)> openFileDialog;
    std::function<QString(QWidget*, const QString&, const QString&, const QString&)> saveFileDialog;
    std::function<int(QDialog&)> runModal;
    // Called after every generated row, before the events are processed.
    std::function<void(int32_t row)> afterRowHook;

    // --- Commands (handlers of menus, tool buttons and timers) ---
    void New1Click();
    void Open1Click();
    void SaveAs1Click();
    void LoadFromParameterFile1Click();
    void Options1Click();
    void Exit();
    void ClearRectangle1Click();
    void JuliaMode2Click();
    void InsideOut2Click();
    void Rotate90Click();
    void Rotate90MirrorClick();
    void MirrorClick();
    void ResetCoordinates1Click();
    void DrawClick(int32_t formula);
    void RenderClick(int32_t render);
    void BlendClick(int32_t blend);
    void RGBOrderClick(int32_t order);
    void Zoom1Click();
    void ZoomInOut1Click();
    void RectangleMode1Click();
    void AbortBtnClick();
    void ApplyBtnClick();
    void ParamsClick();
    void ColorControlsBtnClick();
    void XYSizeBtnClick();
    void About1Click();
    void TP01Click();
    void ColorControlsOnApplyClick();
    void Timer1Timer();
    void Timer2Timer();

    // --- Generation ---
    void UpdateGrafX();
    void FormPaint();
    void ApplyColors();
    void UpdateMenuItems();

    // --- The view's mouse events ---
    void PGImage1MouseDown(QPoint position, ShiftState shift);
    void PGImage1PicBoxOnMouseMove(QPoint position, ShiftState shift);
    void PGImage1PicBoxOnMouseUp(QPoint position, ShiftState shift);
    void PGImage1NewAutoSize(int width, int height);

    // --- State, for the dialogs and for tests ---
    TIterationContext& Context() { return core_.Context; }
    engine::GenerationCore& Core() { return core_; }
    TPGImage* PGImage1() const { return view_; }
    imaging::Picture* CurrentImage() const { return core_.CurrentImage; }
    QAction* Action(const QString& name) const;
    QString SavedCaption() const { return savedCaption_; }
    // Generations started (each UpdateGrafX that reached the core).
    int GenerationCount() const { return generationCount_; }
    bool Generating() const { return generationDepth_ > 0; }
    int32_t RectangleMode() const { return rectangleMode_; }
    int32_t ZoomInOutMode() const { return zoomInOutMode_; }
    int32_t NeedsImageSetup() const { return needsImageSetup_; }
    double MousePlaneX() const { return mousePlaneX_; }
    double MousePlaneY() const { return mousePlaneY_; }
    QTimer& Timer1() { return timer1_; }
    QTimer& Timer2() { return timer2_; }
    QLabel* MagnificationLabel() const { return magnificationLabel_; }
    QLabel* PlanePointLabel() const { return planePointLabel_; }
    QMenu* PopupMenu1() const { return popupMenu_; }
    const QCursor& EllipseCursor() const { return ellipseCursor_; }

    // engine::GenerationHost
    void ShowMessage(const std::string& text, const std::string& title = {}) override;
    void SetAbortEnabled(bool enabled) override;
    void AfterRow() override;
    void PictureChanged() override;
    void GenerationCompleted() override;
    void GenerationEnded() override;

    void Message(const QString& text, const QString& title = {});

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate(const TForm1Setup& setup);
    void CreateMenus();
    void CreateToolBars();
    QAction* MakeAction(const QString& name, const QString& caption,
                        void (TForm1::*handler)() = nullptr);
    bool RefuseWithoutPlugin();
    // Reads the parameter file named by the caption; false when it cannot be read.
    bool LoadParameters();
    void SetActionModeByRectangleMode();
    void RefreshCursor();
    bool ZoomPreview();
    void SetRotation(int32_t mode);

    engine::GenerationCore core_;
    std::function<void(const QString&, const QString&)> showMessage_;

    TPGImage* view_ = nullptr;
    TAboutBox* aboutBox_ = nullptr;
    TForm4* form4_ = nullptr;
    TForm3* form3_ = nullptr;
    TXYSize* xySize_ = nullptr;
    TForm2* form2_ = nullptr;

    QMenu* popupMenu_ = nullptr;
    QLabel* magnificationLabel_ = nullptr;
    QLabel* planePointLabel_ = nullptr;
    QToolBar* topDock_ = nullptr;
    QToolBar* leftDock_ = nullptr;

    QTimer timer1_;
    QTimer timer2_;
    QCursor ellipseCursor_;

    // Main-window fields (flags hold 0 or -1).
    int32_t rectangleMode_ = 0;
    int32_t zoomInOutMode_ = -1;
    int32_t needsImageSetup_ = 0;
    double mouseDownX_ = 0.0;
    double mouseDownY_ = 0.0;
    ShiftState lastShift_{};
    double mousePlaneX_ = 0.0;
    double mousePlaneY_ = 0.0;
    int32_t fileWidth_ = 0;
    int32_t fileHeight_ = 0;
    imaging::ImageInfo imageInfo_;
    std::unique_ptr<imaging::Picture> spareImage_;
    params::NameBuffers names_;
    QString savedCaption_;

    int generationCount_ = 0;
    int generationDepth_ = 0;
};

}  // namespace app

#include "main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <cmath>

#include "about_box.h"
#include "colour_mixing_dialog.h"
#include "file_filters.h"
#include "icons.h"
#include "image_options.h"
#include "mode_word.h"
#include "options_dialog.h"
#include "parameters_dialog.h"
#include "picture_settings.h"
#include "xy_size_dialog.h"

namespace app {

namespace {

const char* const kFormulaCaptions[] = {
    "0.) z=z*z+c, M-set",  "1.)  z=z*z+c, N-set", "2.) 4th order nova",     "3.) nova variation 1",
    "4.) nova variation 2", "5.) twister weed",    "6.) z = (c/cos(z))^2; ", "7.) Ushiki Phoenix",
};

const char* const kRenderCaptions[] = {
    "1.) Iterations escape value", "2.) Crosses",           "3.) Log",
    "4.) sum_of_last_squares",     "5.) averaging",         "6.) standard deviation",
    "7.) min - max",               "8.) fractal dimension", "9.) x/y; y/x; fdimension",
};

const char* const kBlendCaptions[] = {
    "1.) r=x; g=y; b=(r+g)*0.707, SineCosine",
    "2.) r=x; g=y; b=(r+g)*0.707, SineSine",
    "3.) r=sqrt(sum of sqrs); g=x; b=y",
    "4.) r=(x+y)*0.5; g=(y+x)*0.5; b=(x+y_*0.5",
    "5.) r=Abs(x-y); g=Abs(y-x); b=(x+y)*0.707",
    "6.) Gray",
    "7.) r=(x+x); g=(y+y); b=(r+g)*0.707",
    "8.) r=sqrt(x+x); b=sqrt(y+y); g=sqrt(y+x);",
    "9.) sine, -sine, cos",
};

const char* const kOrderCaptions[] = {"1.) RGB", "2.) RBG", "3.) GBR", "4.) GRB", "5.) BRG", "6.) BGR"};

QString TwoDigits(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

// Dialogs that the program centres on the screen rather than on the window.
void CentreOnScreen(QWidget* window, QDialog& dialog) {
    if (QScreen* screen = window->screen()) {
        dialog.adjustSize();
        dialog.move(screen->availableGeometry().center() - dialog.rect().center());
    }
}

void DefaultMessageBox(QWidget* parent, const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? QStringLiteral("halvane") : title, text,
                    QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace

TForm1::TForm1(TForm1Setup setup, QWidget* parent)
    : QMainWindow(parent), core_(*this), showMessage_(std::move(setup.showMessage)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QLatin1String(engine::kInitialCaption));
    setWindowIcon(ApplicationIcon());

    openFileDialog = [](QWidget* parent, const QString& caption, const QString& dir,
                        const QString& filter) {
        return QFileDialog::getOpenFileName(parent, caption, dir, filter);
    };
    saveFileDialog = [](QWidget* parent, const QString& caption, const QString& name,
                        const QString& filter) {
        QFileDialog dialog(parent, caption, QString(), filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.selectFile(name);
        // The chosen format's extension is added to a name typed without one.
        const auto suffix = [&dialog] { dialog.setDefaultSuffix(SuffixOfFilter(dialog.selectedNameFilter())); };
        suffix();
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, suffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
        return dialog.selectedFiles().constFirst();
    };
    runModal = [](QDialog& dialog) { return dialog.exec(); };

    view_ = new TPGImage(this);
    setCentralWidget(view_);
    connect(view_, &TPGImage::MouseDown, this, &TForm1::PGImage1MouseDown);
    connect(view_, &TPGImage::PicBoxMouseMove, this, &TForm1::PGImage1PicBoxOnMouseMove);
    connect(view_, &TPGImage::PicBoxMouseUp, this, &TForm1::PGImage1PicBoxOnMouseUp);
    connect(view_, &TPGImage::NewAutoSize, this, &TForm1::PGImage1NewAutoSize);

    CreateMenus();
    CreateToolBars();

    magnificationLabel_ = new QLabel(this);
    magnificationLabel_->setObjectName(QStringLiteral("MagnificationPanel"));
    magnificationLabel_->setMinimumWidth(150);
    planePointLabel_ = new QLabel(this);
    planePointLabel_->setObjectName(QStringLiteral("PlanePointPanel"));
    planePointLabel_->setMinimumWidth(150);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->addWidget(magnificationLabel_);
    statusBar()->addWidget(planePointLabel_, 1);

    timer1_.setSingleShot(true);
    timer1_.setInterval(100);
    connect(&timer1_, &QTimer::timeout, this, &TForm1::Timer1Timer);
    timer2_.setInterval(500);
    connect(&timer2_, &QTimer::timeout, this, &TForm1::Timer2Timer);

    resize(359, 292);
    FormCreate(setup);
    timer1_.start();
}

TForm1::~TForm1() {
    // The windows that refer back to this one go first, while it is whole.
    timer1_.stop();
    timer2_.stop();
    delete form2_;
    delete xySize_;
    delete form3_;
    delete form4_;
    delete aboutBox_;
    view_->disconnect(this);
}

void TForm1::FormCreate(const TForm1Setup& setup) {
    ellipseCursor_ = MakeEllipseCursor();
    SetModeWord(kModeNew);
    rectangleMode_ = 0;
    zoomInOutMode_ = -1;
    if (!core_.BindPlugin(setup.pluginFolders)) SetModeWord(kModeError);
}

void TForm1::AttachWindows(TAboutBox* about, TForm4* params, TForm3* colours, TXYSize* size,
                           TForm2* options) {
    aboutBox_ = about;
    form4_ = params;
    form3_ = colours;
    xySize_ = size;
    form2_ = options;
    connect(form4_, &TForm4::ApplyClicked, this, &TForm1::UpdateGrafX);
    connect(form4_, &TForm4::Closed, this, [this] { Action(QStringLiteral("Params"))->setChecked(false); });
    connect(form3_, &TForm3::ApplyRequested, this, &TForm1::ColorControlsOnApplyClick);
    connect(form3_, &QDialog::finished, this,
            [this] { Action(QStringLiteral("ColorControlsBtn"))->setChecked(false); });
    connect(xySize_, &TXYSize::ApplyClicked, this, &TForm1::TP01Click);
}

QAction* TForm1::MakeAction(const QString& name, const QString& caption, void (TForm1::*handler)()) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    if (handler != nullptr) connect(action, &QAction::triggered, this, handler);
    return action;
}

QAction* TForm1::Action(const QString& name) const { return findChild<QAction*>(name); }

void TForm1::CreateMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    QAction* a = MakeAction(QStringLiteral("New1"), QStringLiteral("New"), &TForm1::New1Click);
    a->setShortcut(QKeySequence::New);
    file->addAction(a);
    a = MakeAction(QStringLiteral("Open1"), QStringLiteral("Open"), &TForm1::Open1Click);
    a->setShortcut(QKeySequence::Open);
    file->addAction(a);
    a = MakeAction(QStringLiteral("SaveAs1"), QStringLiteral("Save As"), &TForm1::SaveAs1Click);
    a->setShortcut(QKeySequence::SaveAs);
    file->addAction(a);
    file->addAction(MakeAction(QStringLiteral("LoadFromParameterFile1"), QStringLiteral("Load From Parameter File"),
                               &TForm1::LoadFromParameterFile1Click));
    file->addAction(MakeAction(QStringLiteral("Options1"), QStringLiteral("Options"), &TForm1::Options1Click));
    file->addSeparator();
    a = MakeAction(QStringLiteral("Exit1"), QStringLiteral("Exit"), &TForm1::Exit);
    a->setShortcut(QKeySequence::Quit);
    file->addAction(a);

    QMenu* image = bar->addMenu(QStringLiteral("&Image"));
    image->setObjectName(QStringLiteral("Image1"));
    image->addAction(MakeAction(QStringLiteral("Draw1"), QStringLiteral("Draw")));
    image->addAction(MakeAction(QStringLiteral("ClearRectangle1"), QStringLiteral("Clear Rectangle"),
                                &TForm1::ClearRectangle1Click));
    a = MakeAction(QStringLiteral("JuliaMode1"), QStringLiteral("Julia Mode"), &TForm1::JuliaMode2Click);
    a->setCheckable(true);
    image->addAction(a);
    a = MakeAction(QStringLiteral("InsideOut1"), QStringLiteral("Inside Out"), &TForm1::InsideOut2Click);
    a->setCheckable(true);
    image->addAction(a);
    image->addSeparator();
    a = MakeAction(QStringLiteral("Rotate90"), QStringLiteral("Rotate90"), &TForm1::Rotate90Click);
    a->setCheckable(true);
    image->addAction(a);
    a = MakeAction(QStringLiteral("Rotate90Mirror"), QStringLiteral("Rotate90Mirror"), &TForm1::Rotate90MirrorClick);
    a->setCheckable(true);
    image->addAction(a);
    a = MakeAction(QStringLiteral("Mirror"), QStringLiteral("Mirror"), &TForm1::MirrorClick);
    a->setCheckable(true);
    image->addAction(a);
    image->addSeparator();
    image->addAction(MakeAction(QStringLiteral("ResetCoordinates1"), QStringLiteral("Reset Coordinates"),
                                &TForm1::ResetCoordinates1Click));

    QMenu* formula = bar->addMenu(QStringLiteral("F&ormula"));
    formula->setObjectName(QStringLiteral("Formula1"));
    for (int i = 0; i < 8; ++i) {
        a = MakeAction(QStringLiteral("Draw") + TwoDigits(i), QLatin1String(kFormulaCaptions[i]));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, i] { DrawClick(i); });
        formula->addAction(a);
    }

    QMenu* render = bar->addMenu(QStringLiteral("&Render"));
    render->setObjectName(QStringLiteral("Render1"));
    for (int i = 1; i <= 9; ++i) {
        a = MakeAction(QStringLiteral("Render") + TwoDigits(i), QLatin1String(kRenderCaptions[i - 1]));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, i] { RenderClick(i); });
        render->addAction(a);
    }

    QMenu* mix1 = bar->addMenu(QStringLiteral("&Mix'"));
    mix1->setObjectName(QStringLiteral("Mix1"));
    QMenu* mix2 = bar->addMenu(QStringLiteral("Mi&x''"));
    mix2->setObjectName(QStringLiteral("Mix2"));
    for (int i = 1; i <= colour::kBlendMethodCount; ++i) {
        const QString caption =
            i <= 9 ? QLatin1String(kBlendCaptions[i - 1]) : QStringLiteral("%1.)").arg(i);
        a = MakeAction(QStringLiteral("Blend") + TwoDigits(i), caption);
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, i] { BlendClick(i); });
        (i <= 10 ? mix1 : mix2)->addAction(a);
    }

    QMenu* rgb = bar->addMenu(QStringLiteral("r&gb"));
    rgb->setObjectName(QStringLiteral("rgb1"));
    for (int i = 1; i <= colour::kChannelOrderCount; ++i) {
        a = MakeAction(QStringLiteral("RGBOrder") + TwoDigits(i), QLatin1String(kOrderCaptions[i - 1]));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, i] { RGBOrderClick(i); });
        rgb->addAction(a);
    }

    QMenu* dialogs = bar->addMenu(QStringLiteral("&dlgs"));
    dialogs->setObjectName(QStringLiteral("dlgs1"));
    dialogs->addAction(MakeAction(QStringLiteral("ColorControls2"), QStringLiteral("Color Controls"),
                                  &TForm1::ColorControlsBtnClick));
    dialogs->addAction(MakeAction(QStringLiteral("Parameters2"), QStringLiteral("Parameters"), &TForm1::ParamsClick));
    dialogs->addAction(MakeAction(QStringLiteral("XYSize2"), QStringLiteral("XY Size"), &TForm1::XYSizeBtnClick));

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    help->addAction(MakeAction(QStringLiteral("About1"), QStringLiteral("About"), &TForm1::About1Click));

    popupMenu_ = new QMenu(this);
    popupMenu_->setObjectName(QStringLiteral("PopupMenu1"));
    popupMenu_->addAction(MakeAction(QStringLiteral("Zoom1"), QStringLiteral("Zoom In (double click)"), &TForm1::Zoom1Click));
    a = MakeAction(QStringLiteral("RectangleMode1"), QStringLiteral("Rectangle Mode"), &TForm1::RectangleMode1Click);
    a->setCheckable(true);
    popupMenu_->addAction(a);
    popupMenu_->addSeparator();
    a = MakeAction(QStringLiteral("ZoomInOut1"), QStringLiteral("Zoom In/ Out Mode"), &TForm1::ZoomInOut1Click);
    a->setCheckable(true);
    popupMenu_->addAction(a);
    a = MakeAction(QStringLiteral("JuliaMode2"), QStringLiteral("Julia Mode"), &TForm1::JuliaMode2Click);
    a->setCheckable(true);
    popupMenu_->addAction(a);
    a = MakeAction(QStringLiteral("InsideOut2"), QStringLiteral("Inside Out"), &TForm1::InsideOut2Click);
    a->setCheckable(true);
    popupMenu_->addAction(a);
    popupMenu_->addSeparator();
    popupMenu_->addAction(MakeAction(QStringLiteral("ClearRectangle2"), QStringLiteral("Clear Rectangle"),
                                     &TForm1::ClearRectangle1Click));
    connect(view_->PicBox(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { popupMenu_->popup(view_->PicBox()->mapToGlobal(at)); });
}

void TForm1::CreateToolBars() {
    QStyle* s = style();
    topDock_ = new QToolBar(QStringLiteral("Commands"), this);
    topDock_->setObjectName(QStringLiteral("TopDock"));
    topDock_->setIconSize(QSize(24, 24));
    addToolBar(Qt::TopToolBarArea, topDock_);

    QAction* a = MakeAction(QStringLiteral("NewBtn"), QStringLiteral("New"), &TForm1::New1Click);
    a->setIcon(s->standardIcon(QStyle::SP_FileIcon));
    topDock_->addAction(a);
    a = MakeAction(QStringLiteral("OpenBtn"), QStringLiteral("Open"), &TForm1::Open1Click);
    a->setIcon(s->standardIcon(QStyle::SP_DialogOpenButton));
    topDock_->addAction(a);
    a = MakeAction(QStringLiteral("Params"), QStringLiteral("Fractal Parameters"), &TForm1::ParamsClick);
    a->setIcon(GlyphIcon(Glyph::Parameters));
    a->setCheckable(true);
    topDock_->addAction(a);
    a = MakeAction(QStringLiteral("Julia"), QStringLiteral("J"));
    a->setToolTip(QStringLiteral("Julia Mode"));
    a->setIcon(GlyphIcon(Glyph::Julia));
    a->setCheckable(true);
    a->setEnabled(false);
    topDock_->addAction(a);
    a = MakeAction(QStringLiteral("Zoom"), QStringLiteral("Zoom"), &TForm1::Zoom1Click);
    a->setIcon(GlyphIcon(Glyph::Zoom));
    a->setEnabled(false);
    topDock_->addAction(a);
    a = MakeAction(QStringLiteral("ColorControlsBtn"), QStringLiteral("Color Controls"),
                   &TForm1::ColorControlsBtnClick);
    a->setIcon(GlyphIcon(Glyph::ColourControls));
    a->setCheckable(true);
    topDock_->addAction(a);

    leftDock_ = new QToolBar(QStringLiteral("Generation"), this);
    leftDock_->setObjectName(QStringLiteral("LeftDock"));
    leftDock_->setIconSize(QSize(24, 24));
    addToolBar(Qt::LeftToolBarArea, leftDock_);
    a = MakeAction(QStringLiteral("AbortBtn"), QStringLiteral("Abort"), &TForm1::AbortBtnClick);
    a->setIcon(s->standardIcon(QStyle::SP_BrowserStop));
    a->setShortcut(QKeySequence(Qt::Key_Escape));
    a->setShortcutContext(Qt::ApplicationShortcut);
    a->setEnabled(false);
    leftDock_->addAction(a);
    a = MakeAction(QStringLiteral("ApplyBtn"), QStringLiteral("Apply"), &TForm1::ApplyBtnClick);
    a->setIcon(GlyphIcon(Glyph::Apply));
    leftDock_->addAction(a);
    a = MakeAction(QStringLiteral("ResetBtn"), QStringLiteral("Reset Coordinates"), &TForm1::ResetCoordinates1Click);
    a->setIcon(s->standardIcon(QStyle::SP_BrowserReload));
    leftDock_->addAction(a);
    a = MakeAction(QStringLiteral("ToolbarButton971"), QStringLiteral("XY Size"), &TForm1::XYSizeBtnClick);
    a->setIcon(GlyphIcon(Glyph::ImageSize));
    leftDock_->addAction(a);
}

// ---------------------------------------------------------------------------
// Messages and the generation host

void TForm1::Message(const QString& text, const QString& title) {
    if (showMessage_)
        showMessage_(text, title);
    else
        DefaultMessageBox(isVisible() ? this : nullptr, text, title);
}

void TForm1::ShowMessage(const std::string& text, const std::string& title) {
    Message(QString::fromStdString(text), QString::fromStdString(title));
}

void TForm1::SetAbortEnabled(bool enabled) { Action(QStringLiteral("AbortBtn"))->setEnabled(enabled); }

void TForm1::AfterRow() {
    if (afterRowHook) afterRowHook(core_.PixelY);
    QCoreApplication::processEvents();
}

void TForm1::PictureChanged() { view_->PictureChanged(); }

void TForm1::GenerationCompleted() {
    timer2_.stop();
    setWindowTitle(savedCaption_);
}

void TForm1::GenerationEnded() {
    // The tool buttons Zoom, ResetBtn and ApplyBtn are plain buttons and
    // come up by themselves; what remains is the view's action mode.
    SetActionModeByRectangleMode();
}

bool TForm1::RefuseWithoutPlugin() {
    if (core_.PluginBound()) return false;
    Message(QStringLiteral("The formula plug-in %1 is not loaded: nothing can be computed.")
                .arg(QLatin1String(engine::kPluginFileName)));
    return true;
}

void TForm1::SetActionModeByRectangleMode() {
    view_->SetActionMode(rectangleMode_ != 0 ? TActionMode::amMoveResizeCreateSelection : TActionMode::amNone);
}

void TForm1::RefreshCursor() {
    QWidget* box = view_->PicBox();
    const TIterationContext& c = core_.Context;
    if (generationDepth_ > 0)
        box->setCursor(Qt::WaitCursor);
    else if (c.JuliaMode == 1 && c.JuliaFixed == 0)
        box->setCursor(ellipseCursor_);
    else
        box->unsetCursor();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // A generation in progress stops after its current row.
    core_.StopFlag = -1;
    QMainWindow::closeEvent(event);
}

// ---------------------------------------------------------------------------
// Start-up and generation

void TForm1::Timer1Timer() {
    timer1_.stop();
    savedCaption_ = windowTitle();
    if (ModeWord() == kModeNew) {
        New1Click();
    } else if (ModeWord() == kModeParam) {
        if (LoadParameters() && core_.ParamsValid != 0) UpdateGrafX();
    }
}

void TForm1::New1Click() {
    if (RefuseWithoutPlugin()) return;
    needsImageSetup_ = -1;
    engine::ApplyNewDefaults(core_.Context);
    engine::ResetCoordinates(core_.Context);
    FormPaint();
}

void TForm1::UpdateGrafX() {
    if (RefuseWithoutPlugin()) return;
    if (core_.CurrentImage == nullptr) return;
    ++generationDepth_;
    ++generationCount_;
    RefreshCursor();
    timer2_.start();
    UpdateMenuItems();
    std::optional<engine::ParameterDialogValues> dialog;
    if (form4_ != nullptr && form4_->isVisible())
        dialog = engine::ParameterDialogValues{form4_->MaxitValue(), form4_->BailoutValue(),
                                               form4_->EpsilonValue(), form4_->JuliaXValue(),
                                               form4_->JuliaYValue()};
    core_.ApplyFractal(dialog);
    --generationDepth_;
    RefreshCursor();
    UpdateMenuItems();
}

void TForm1::Timer2Timer() {
    setWindowTitle(QStringLiteral("Busy... %1").arg(core_.RowsLeft()));
    QCoreApplication::processEvents();
    PictureChanged();
}

void TForm1::FormPaint() {
    TIterationContext& c = core_.Context;
    if (needsImageSetup_ != 0) {
        SetActionModeByRectangleMode();
        if (ModeWord() == kModeOpen) {
            const QString path = windowTitle();
            auto picture = std::make_unique<imaging::Picture>();
            imaging::ImageInfo info;
            const std::string error =
                imaging::LoadImageFile(QFile::encodeName(path).toStdString(), *picture, &info);
            if (!error.empty()) {
                // The picture shown stays, and so does everything else.
                setWindowTitle(savedCaption_);
                needsImageSetup_ = 0;
                SetModeWord(QLatin1String(engine::kIdleTitle));
                Message(QString::fromStdString(error));
                UpdateMenuItems();
                return;
            }
            imageInfo_ = info;
            fileWidth_ = picture->Width();
            fileHeight_ = picture->Height();
            view_->SetFileName(path);
            view_->SetPicture(std::move(picture));
        } else if (ModeWord() == kModeNew) {
            fileWidth_ = 160;
            fileHeight_ = 120;
            c.ImageWidth = 160;
            c.ImageHeight = 120;
            c.FormulaNo = 0;
            core_.LastFormulaNo = 0;
            imageInfo_ = imaging::ImageInfo{};
            view_->SetFileName(QString());
            view_->SetPicture(std::make_unique<imaging::Picture>(160, 120));
        }
        core_.CurrentImage = view_->Picture();
        spareImage_.reset();
        if (fileWidth_ > 0 && fileHeight_ > 0 && imaging::Picture::SizeAllowed(fileWidth_, fileHeight_))
            spareImage_ = std::make_unique<imaging::Picture>(fileWidth_, fileHeight_);
        UpdateGrafX();
        c.ImageWidth = fileWidth_;
        c.ImageHeight = fileHeight_;
        engine::ResetCoordinates(c);
        if (aboutBox_ != nullptr) aboutBox_->SetInfo(view_->FileName(), imageInfo_);
        needsImageSetup_ = 0;
    }
    SetModeWord(QLatin1String(engine::kIdleTitle));
    UpdateMenuItems();
}

void TForm1::PGImage1NewAutoSize(int width, int height) {
    if (isMaximized() || isMinimized()) return;
    const int frame = 2 * view_->frameWidth();
    const int extraWidth = std::max(60, leftDock_->sizeHint().width() + frame);
    const int extraHeight =
        std::max(80, topDock_->sizeHint().height() + statusBar()->sizeHint().height() + frame);
    QSize wanted(width + extraWidth, height + extraHeight + menuBar()->sizeHint().height());
    // Never so small that the menus or the left tool bar fold away.
    wanted = wanted.expandedTo(QSize(menuBar()->sizeHint().width(),
                                     menuBar()->sizeHint().height() + topDock_->sizeHint().height() +
                                         leftDock_->sizeHint().height() + statusBar()->sizeHint().height()));
    if (QScreen* screen = this->screen()) {
        // The whole window, frame included, stays within the screen.
        const QSize frameExtra = frameGeometry().size() - geometry().size();
        const QSize room = screen->availableGeometry().size() - frameExtra;
        wanted = wanted.boundedTo(room);
    }
    resize(wanted);
}

void TForm1::AbortBtnClick() { core_.StopFlag = -1; }

void TForm1::ApplyBtnClick() { UpdateGrafX(); }

void TForm1::ApplyColors() {
    if (core_.CurrentImage != nullptr) {
        if (!core_.RecolourFromBuffers()) {
            UpdateGrafX();
        } else {
            PictureChanged();
            QCoreApplication::processEvents();
        }
    }
    UpdateMenuItems();
}

void TForm1::UpdateMenuItems() {
    const TIterationContext& c = core_.Context;
    for (int i = 1; i <= colour::kBlendMethodCount; ++i)
        Action(QStringLiteral("Blend") + TwoDigits(i))->setChecked(c.BlendNo == i);
    for (int i = 1; i <= colour::kChannelOrderCount; ++i)
        Action(QStringLiteral("RGBOrder") + TwoDigits(i))->setChecked(c.ColorOrderNo == i);
    for (int i = 1; i <= 9; ++i) Action(QStringLiteral("Render") + TwoDigits(i))->setChecked(c.RenderNo == i);
    for (int i = 0; i <= 7; ++i) Action(QStringLiteral("Draw") + TwoDigits(i))->setChecked(c.FormulaNo == i);
    const bool julia = c.JuliaMode == 1;
    Action(QStringLiteral("JuliaMode1"))->setChecked(julia);
    Action(QStringLiteral("JuliaMode2"))->setChecked(julia);
    Action(QStringLiteral("Julia"))->setChecked(julia);
    Action(QStringLiteral("InsideOut1"))->setChecked(c.InsideOut != 0);
    Action(QStringLiteral("InsideOut2"))->setChecked(c.InsideOut != 0);
    Action(QStringLiteral("Rotate90"))->setChecked(c.RotationMode == 1);
    Action(QStringLiteral("Rotate90Mirror"))->setChecked(c.RotationMode == 2);
    Action(QStringLiteral("Mirror"))->setChecked(c.RotationMode == 3);
    Action(QStringLiteral("ZoomInOut1"))->setChecked(zoomInOutMode_ != 0);
    Action(QStringLiteral("RectangleMode1"))->setChecked(rectangleMode_ != 0);
    Action(QStringLiteral("Zoom"))->setEnabled(view_->Selection());
}

// ---------------------------------------------------------------------------
// Formula, render, blend and channel order

void TForm1::DrawClick(int32_t formula) {
    core_.Context.FormulaNo = formula;
    UpdateGrafX();
}

void TForm1::RenderClick(int32_t render) {
    core_.Context.RenderNo = render;
    UpdateGrafX();
}

void TForm1::BlendClick(int32_t blend) {
    core_.Context.BlendNo = blend;
    ApplyColors();
}

void TForm1::RGBOrderClick(int32_t order) {
    core_.Context.ColorOrderNo = order;
    ApplyColors();
}

// ---------------------------------------------------------------------------
// View and navigation

void TForm1::ResetCoordinates1Click() {
    engine::ResetCoordinates(core_.Context);
    UpdateGrafX();
}

void TForm1::ClearRectangle1Click() {
    view_->SetSelection(false);
    core_.Context.SelMagnification = core_.Context.Magnification;
    Action(QStringLiteral("Zoom"))->setEnabled(false);
}

void TForm1::JuliaMode2Click() {
    TIterationContext& c = core_.Context;
    if (c.JuliaMode == 0) {
        c.JuliaMode = 1;
        c.JuliaFixed = 0;
        view_->SetActionMode(TActionMode::amNone);
    } else {
        c.JuliaMode = 0;
        c.JuliaFixed = 0;
        SetActionModeByRectangleMode();
    }
    UpdateMenuItems();
    RefreshCursor();
    PictureChanged();
}

void TForm1::InsideOut2Click() {
    core_.Context.InsideOut = core_.Context.InsideOut == 0 ? 1 : 0;
    UpdateGrafX();
}

void TForm1::SetRotation(int32_t mode) {
    core_.Context.RotationMode = core_.Context.RotationMode == mode ? 0 : mode;
    UpdateGrafX();
}

void TForm1::Rotate90Click() { SetRotation(1); }
void TForm1::Rotate90MirrorClick() { SetRotation(2); }
void TForm1::MirrorClick() { SetRotation(3); }

void TForm1::ZoomInOut1Click() {
    zoomInOutMode_ = zoomInOutMode_ == 0 ? -1 : 0;
    UpdateMenuItems();
}

void TForm1::RectangleMode1Click() {
    rectangleMode_ = rectangleMode_ == 0 ? -1 : 0;
    UpdateMenuItems();
}

void TForm1::PGImage1PicBoxOnMouseMove(QPoint position, ShiftState shift) {
    const QPoint p = view_->ToPicture(position);
    lastShift_ = shift;
    const TIterationContext& c = core_.Context;
    if (c.ImageWidth == 0) return;
    // The generation in progress keeps its own step; this one is local.
    const double stepX = (core_.ImageXMax - core_.ImageXMin) / c.ImageWidth;
    const double stepY = (core_.ImageYMax - core_.ImageYMin) / c.ImageHeight;
    mousePlaneX_ = p.x() * stepX + core_.ImageXMin;
    mousePlaneY_ = p.y() * stepY + core_.ImageYMin;
    magnificationLabel_->setText(
        QStringLiteral("magnification=") + QLocale().toString(c.Magnification, 'f', 2));
    planePointLabel_->setText(QStringLiteral("x=%1  y=%2")
                                  .arg(QLocale().toString(mousePlaneX_, 'g', 12),
                                       QLocale().toString(mousePlaneY_, 'g', 12)));
}

void TForm1::PGImage1MouseDown(QPoint position, ShiftState shift) {
    TIterationContext& c = core_.Context;
    mouseDownX_ = position.x();
    mouseDownY_ = position.y();
    lastShift_ = shift;
    if (shift.LeftAlone()) SetActionModeByRectangleMode();
    if (c.JuliaMode == 1 && c.JuliaFixed == 0) {
        view_->SetActionMode(TActionMode::amNone);
        c.JuliaX = mousePlaneX_;
        c.JuliaY = mousePlaneY_;
        if (form4_ != nullptr && form4_->isVisible()) form4_->SetJulia(c.JuliaX, c.JuliaY);
        ClearRectangle1Click();
        engine::ResetCoordinates(c);
        SetActionModeByRectangleMode();
        view_->SetSelectionWidth(c.ImageWidth);
        view_->SetSelectionHeight(c.ImageHeight);
    }
}

void TForm1::PGImage1PicBoxOnMouseUp(QPoint, ShiftState) {
    if (!lastShift_.LeftAlone()) return;
    if (!view_->Selection() && rectangleMode_ != 0) return;
    TIterationContext& c = core_.Context;
    if (!(c.JuliaMode == 1 && c.JuliaFixed == 0)) {
        if (c.ImageWidth <= 0 || c.ImageHeight <= 0) return;
        const double W = c.ImageWidth;
        const double H = c.ImageHeight;
        double cx = 0.0;
        double cy = 0.0;
        if (rectangleMode_ != 0) {
            cx = view_->SelectionWidth() * 0.5 + view_->SelectionLeft();
            cy = view_->SelectionHeight() * 0.5 + view_->SelectionTop();
        } else {
            const double f = zoomInOutMode_ != 0 ? 0.5 : 2.0;
            view_->SetSelectionWidth(engine::RoundToInt32(W * f));
            view_->SetSelectionHeight(engine::RoundToInt32(H * f));
            cx = mouseDownX_;
            cy = mouseDownY_;
        }
        // Reshape to the image's aspect, keeping the centre and the mean side.
        const double s = (view_->SelectionWidth() + view_->SelectionHeight()) * 0.5;
        const double m = (W + H) * 0.5;
        view_->SetSelectionWidth(engine::RoundToInt32(W / m * s));
        view_->SetSelectionLeft(engine::RoundToInt32(cx - (W / m * s) * 0.5));
        view_->SetSelectionHeight(engine::RoundToInt32(H / m * s));
        view_->SetSelectionTop(engine::RoundToInt32(cy - (H / m * s) * 0.5));

        const double l = view_->SelectionLeft();
        const double t = view_->SelectionTop();
        const double w = view_->SelectionWidth();
        const double h = view_->SelectionHeight();
        const double selXMin = c.XMin + (c.XMax - c.XMin) * l / W;
        const double selXMax = c.XMin + (c.XMax - c.XMin) * (l + w) / W;
        const double selYMin = c.YMin + (c.YMax - c.YMin) * t / H;
        const double selYMax = c.YMin + (c.YMax - c.YMin) * (t + h) / H;
        const double r = (std::fabs(selXMax - selXMin) * 0.5 + std::fabs(selYMax - selYMin) * 0.5) * 0.5;
        if (!(r != 0.0) || !std::isfinite(2.0 / r)) {
            // Nothing to zoom into: the old rectangle and magnification stay.
            view_->SetSelection(false);
            Action(QStringLiteral("Zoom"))->setEnabled(false);
            Message(QStringLiteral("The picked rectangle has no size: there is nothing to zoom into"));
            return;
        }
        c.SelXMin = selXMin;
        c.SelXMax = selXMax;
        c.SelYMin = selYMin;
        c.SelYMax = selYMax;
        c.PrevCenterX = c.CenterX;
        c.PrevCenterY = c.CenterY;
        c.SelCenterX = c.SelXMin + (c.SelXMax - c.SelXMin) * 0.5;
        c.SelCenterY = c.SelYMin + (c.SelYMax - c.SelYMin) * 0.5;
        c.SelMagnification = 2.0 / r;
    }
    Action(QStringLiteral("Zoom"))->setEnabled(view_->Selection());
    if (rectangleMode_ == 0) Zoom1Click();
}

bool TForm1::ZoomPreview() {
    const TIterationContext& c = core_.Context;
    imaging::Picture* shown = view_->Picture();
    if (shown == nullptr || c.ImageWidth <= 0 || c.ImageHeight <= 0 ||
        !imaging::Picture::SizeAllowed(c.ImageWidth, c.ImageHeight))
        return false;
    spareImage_ = std::make_unique<imaging::Picture>(c.ImageWidth, c.ImageHeight);
    imaging::StretchCopy(*shown,
                         imaging::Rect{view_->SelectionLeft(), view_->SelectionTop(),
                                       view_->SelectionWidth(), view_->SelectionHeight()},
                         *spareImage_, imaging::Rect{0, 0, c.ImageWidth, c.ImageHeight});
    view_->SetPicture(std::move(spareImage_));
    core_.CurrentImage = view_->Picture();
    PictureChanged();
    return true;
}

void TForm1::Zoom1Click() {
    TIterationContext& c = core_.Context;
    if (c.ImageWidth == 0) return;
    if (!view_->Selection() && rectangleMode_ != 0) {
        Message(QStringLiteral("there is nothing selected"));
        return;
    }
    if (RefuseWithoutPlugin()) return;
    c.XMin = c.SelXMin;
    c.XMax = c.SelXMax;
    c.YMin = c.SelYMin;
    c.YMax = c.SelYMax;
    c.CenterX = c.XMin + (c.XMax - c.XMin) * 0.5;
    c.CenterY = c.YMin + (c.YMax - c.YMin) * 0.5;
    c.Magnification = c.SelMagnification;
    view_->SetSelection(false);
    view_->SetActionMode(TActionMode::amNone);
    Action(QStringLiteral("Zoom"))->setEnabled(false);
    ZoomPreview();
    UpdateGrafX();
}

// ---------------------------------------------------------------------------
// Dialogs

void TForm1::ParamsClick() {
    QAction* button = Action(QStringLiteral("Params"));
    if (form4_->isVisible()) {
        form4_->hide();
        button->setChecked(false);
        return;
    }
    form4_->LoadFrom(core_.Context);
    form4_->show();
    button->setChecked(true);
}

void TForm1::ColorControlsBtnClick() {
    QAction* button = Action(QStringLiteral("ColorControlsBtn"));
    if (form3_->isVisible()) {
        form3_->hide();
        button->setChecked(false);
        return;
    }
    form3_->LoadFrom(core_.Context);
    form3_->show();
    form3_->EnableColorTimer();
    button->setChecked(true);
}

void TForm1::ColorControlsOnApplyClick() {
    form3_->StoreTo(core_.Context);
    ApplyColors();
}

void TForm1::XYSizeBtnClick() {
    if (xySize_->isVisible()) {
        xySize_->hide();
        return;
    }
    xySize_->SetSize(core_.Context.ImageWidth, core_.Context.ImageHeight);
    xySize_->show();
}

void TForm1::TP01Click() {
    TIterationContext& c = core_.Context;
    const bool preview = xySize_ != nullptr && xySize_->isVisible();
    const int32_t width = preview ? xySize_->WidthValue() : c.ImageWidth;
    const int32_t height = preview ? xySize_->HeightValue() : c.ImageHeight;
    if (width <= 0 || height <= 0) {
        Message(QStringLiteral("The image size %1 by %2 is not possible: width and height must be at least 1")
                    .arg(width)
                    .arg(height));
        return;
    }
    if (!imaging::Picture::SizeAllowed(width, height)) {
        Message(QStringLiteral("The image size %1 by %2 is too large").arg(width).arg(height));
        return;
    }
    if (RefuseWithoutPlugin()) return;
    if (preview) {
        // The picture shown, stretched onto the new size, until the new one
        // overwrites it row by row.
        spareImage_ = std::make_unique<imaging::Picture>(width, height);
        if (imaging::Picture* shown = view_->Picture())
            imaging::StretchCopy(*shown, imaging::Rect{0, 0, shown->Width(), shown->Height()}, *spareImage_,
                                 imaging::Rect{0, 0, width, height});
        c.ImageWidth = width;
        c.ImageHeight = height;
        view_->SetPicture(std::move(spareImage_));
        core_.CurrentImage = view_->Picture();
        PictureChanged();
        QCoreApplication::processEvents();
    } else {
        view_->SetPicture(std::make_unique<imaging::Picture>(width, height));
        core_.CurrentImage = view_->Picture();
        PictureChanged();
    }
    UpdateGrafX();
}

void TForm1::About1Click() {
    CentreOnScreen(this, *aboutBox_);
    runModal(*aboutBox_);
}

void TForm1::Exit() { close(); }

// ---------------------------------------------------------------------------
// Files

void TForm1::SaveAs1Click() {
    QString name = QFileInfo(windowTitle()).fileName();
    name.chop(4);
    const QString path = saveFileDialog(this, QStringLiteral("Save As"), name, ToQtFilter(kSaveImageFilter));
    if (path.isEmpty()) return;
    const imaging::Picture* picture = view_->Picture();
    if (picture == nullptr || picture->Empty()) {
        Message(QStringLiteral("There is no picture to save"));
        return;
    }
    const std::string error = imaging::SaveImageFile(*picture, QFile::encodeName(path).toStdString());
    if (!error.empty()) {
        Message(QString::fromStdString(error));
        return;
    }
    setWindowTitle(path);
    const std::string parameterPath = params::ParameterFilePathFor(QFile::encodeName(path).toStdString());
    const std::string written = params::WriteParameterFile(parameterPath, core_.Context);
    if (!written.empty()) Message(QString::fromStdString(written));
}

void TForm1::Open1Click() {
    needsImageSetup_ = -1;
    if (RefuseWithoutPlugin()) return;
    const QString path = openFileDialog(this, QStringLiteral("Open"), QString(), ToQtFilter(kOpenImageFilter));
    if (path.isEmpty()) return;
    SetModeWord(kModeOpen);
    setWindowTitle(path);
    FormPaint();
}

void TForm1::LoadFromParameterFile1Click() {
    if (RefuseWithoutPlugin()) return;
    const QString path = openFileDialog(this, QStringLiteral("Load From Parameter File"), QString(),
                                        ToQtFilter(kParameterFileFilter));
    if (path.isEmpty()) return;
    SetModeWord(kModeParam);
    setWindowTitle(path);
    timer1_.start();
}

bool TForm1::LoadParameters() {
    const QString path = windowTitle();
    SetModeWord(path);
    const params::LoadOutcome outcome = params::LoadParameters(
        QFile::encodeName(path).toStdString(),
        params::LoadTarget{core_.Context, core_.ParamsValid, core_.LastFormulaNo, names_}, *this);
    // A file that cannot be read has been reported by the reader; nothing changed.
    return outcome != params::LoadOutcome::CannotOpen;
}

void TForm1::Options1Click() {
    form2_->LoadFrom(imaging::Options());
    CentreOnScreen(this, *form2_);
    if (runModal(*form2_) != QDialog::Accepted) return;
    form2_->StoreTo(imaging::Options(), [this](const QString& text) { Message(text); });
}

}  // namespace app

// The main window's menus, pop-up menu and tool bars, and the one place that
// brings their check marks and enabled states in line with the settings.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>

#include "colour_mapping.h"
#include "dialogs/colour_mixing_dialog.h"
#include "dialogs/parameters_dialog.h"
#include "icons.h"
#include "main_window.h"

namespace app {

namespace {

const char* const kFormulaCaptions[] = {
    QT_TRANSLATE_NOOP("app::MainWindow", "0.) z=z*z+c, M-set"),
    QT_TRANSLATE_NOOP("app::MainWindow", "1.)  z=z*z+c, N-set"),
    QT_TRANSLATE_NOOP("app::MainWindow", "2.) 4th order nova"),
    QT_TRANSLATE_NOOP("app::MainWindow", "3.) nova variation 1"),
    QT_TRANSLATE_NOOP("app::MainWindow", "4.) nova variation 2"),
    QT_TRANSLATE_NOOP("app::MainWindow", "5.) twister weed"),
    QT_TRANSLATE_NOOP("app::MainWindow", "6.) z = (c/cos(z))^2; "),
    QT_TRANSLATE_NOOP("app::MainWindow", "7.) Ushiki Phoenix"),
};

const char* const kRenderCaptions[] = {
    QT_TRANSLATE_NOOP("app::MainWindow", "1.) Iterations escape value"),
    QT_TRANSLATE_NOOP("app::MainWindow", "2.) Crosses"),
    QT_TRANSLATE_NOOP("app::MainWindow", "3.) Log"),
    QT_TRANSLATE_NOOP("app::MainWindow", "4.) sum_of_last_squares"),
    QT_TRANSLATE_NOOP("app::MainWindow", "5.) averaging"),
    QT_TRANSLATE_NOOP("app::MainWindow", "6.) standard deviation"),
    QT_TRANSLATE_NOOP("app::MainWindow", "7.) min - max"),
    QT_TRANSLATE_NOOP("app::MainWindow", "8.) fractal dimension"),
    QT_TRANSLATE_NOOP("app::MainWindow", "9.) x/y; y/x; fdimension"),
};

// Methods 10 to 26 are named by their number alone.
const char* const kBlendCaptions[] = {
    QT_TRANSLATE_NOOP("app::MainWindow", "1.) r=x; g=y; b=(r+g)*0.707, SineCosine"),
    QT_TRANSLATE_NOOP("app::MainWindow", "2.) r=x; g=y; b=(r+g)*0.707, SineSine"),
    QT_TRANSLATE_NOOP("app::MainWindow", "3.) r=sqrt(sum of sqrs); g=x; b=y"),
    QT_TRANSLATE_NOOP("app::MainWindow", "4.) r=(x+y)*0.5; g=(y+x)*0.5; b=(x+y_*0.5"),
    QT_TRANSLATE_NOOP("app::MainWindow", "5.) r=Abs(x-y); g=Abs(y-x); b=(x+y)*0.707"),
    QT_TRANSLATE_NOOP("app::MainWindow", "6.) Gray"),
    QT_TRANSLATE_NOOP("app::MainWindow", "7.) r=(x+x); g=(y+y); b=(r+g)*0.707"),
    QT_TRANSLATE_NOOP("app::MainWindow", "8.) r=sqrt(x+x); b=sqrt(y+y); g=sqrt(y+x);"),
    QT_TRANSLATE_NOOP("app::MainWindow", "9.) sine, -sine, cos"),
};

const char* const kOrderCaptions[] = {
    QT_TRANSLATE_NOOP("app::MainWindow", "1.) RGB"), QT_TRANSLATE_NOOP("app::MainWindow", "2.) RBG"),
    QT_TRANSLATE_NOOP("app::MainWindow", "3.) GBR"), QT_TRANSLATE_NOOP("app::MainWindow", "4.) GRB"),
    QT_TRANSLATE_NOOP("app::MainWindow", "5.) BRG"), QT_TRANSLATE_NOOP("app::MainWindow", "6.) BGR"),
};

// The platform's keys for a standard command, or `fallback` where it has
// none (an X11 session without a desktop environment has no Save As key).
QList<QKeySequence> KeysFor(QKeySequence::StandardKey key, const QKeySequence& fallback) {
    QList<QKeySequence> keys = QKeySequence::keyBindings(key);
    if (keys.isEmpty()) keys << fallback;
    return keys;
}

}  // namespace

QAction* MainWindow::makeAction(const QString& text, const char* objectName, void (MainWindow::*handler)()) {
    auto* action = new QAction(text, this);
    action->setObjectName(QLatin1String(objectName));
    action->setIconVisibleInMenu(false);
    if (handler != nullptr) connect(action, &QAction::triggered, this, handler);
    return action;
}

QAction* MainWindow::makeToggle(const QString& text, const char* objectName, void (MainWindow::*handler)()) {
    QAction* action = makeAction(text, objectName, handler);
    action->setCheckable(true);
    return action;
}

void MainWindow::createMenus() {
    MainWindowActions& a = actions_;
    QMenuBar* bar = menuBar();

    QMenu* file = bar->addMenu(tr("&File"));
    a.newPicture = makeAction(tr("New"), "newPicture", &MainWindow::newPicture);
    a.newPicture->setShortcuts(KeysFor(QKeySequence::New, QKeySequence(Qt::CTRL | Qt::Key_N)));
    a.openImage = makeAction(tr("Open"), "openImage", &MainWindow::openImage);
    a.openImage->setShortcuts(KeysFor(QKeySequence::Open, QKeySequence(Qt::CTRL | Qt::Key_O)));
    a.saveAs = makeAction(tr("Save As"), "saveAs", &MainWindow::saveAs);
    // There is no separate Save: Ctrl+S saves as well.
    QList<QKeySequence> saveKeys = KeysFor(QKeySequence::SaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    if (!saveKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_S))) saveKeys << QKeySequence(Qt::CTRL | Qt::Key_S);
    a.saveAs->setShortcuts(saveKeys);
    a.exportPicture = makeAction(tr("Export Picture..."), "exportPicture", &MainWindow::exportPicture);
    a.loadParameterFile = makeAction(tr("Load From Parameter File"), "loadParameterFile", &MainWindow::loadParameterFile);
    a.options = makeAction(tr("Options"), "options", &MainWindow::editOptions);
    a.exit = makeAction(tr("Exit"), "exit");
    a.exit->setShortcuts(KeysFor(QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)));
    connect(a.exit, &QAction::triggered, this, &QWidget::close);
    file->addActions({a.newPicture, a.openImage, a.saveAs, a.exportPicture, a.loadParameterFile, a.options});
    file->addSeparator();
    file->addAction(a.exit);

    QMenu* image = bar->addMenu(tr("&Image"));
    a.draw = makeAction(tr("Draw"), "draw");
    a.clearRectangle = makeAction(tr("Clear Rectangle"), "clearRectangle", &MainWindow::clearRectangle);
    a.juliaMode = makeToggle(tr("Julia Mode"), "juliaMode", &MainWindow::toggleJuliaMode);
    a.insideOut = makeToggle(tr("Inside Out"), "insideOut", &MainWindow::toggleInsideOut);
    a.rotate90 = makeToggle(tr("Rotate90"), "rotate90");
    a.rotate90Mirror = makeToggle(tr("Rotate90Mirror"), "rotate90Mirror");
    a.mirror = makeToggle(tr("Mirror"), "mirror");
    connect(a.rotate90, &QAction::triggered, this, [this] { setRotation(1); });
    connect(a.rotate90Mirror, &QAction::triggered, this, [this] { setRotation(2); });
    connect(a.mirror, &QAction::triggered, this, [this] { setRotation(3); });
    a.resetCoordinates = makeAction(tr("Reset Coordinates"), "resetCoordinates", &MainWindow::resetCoordinates);
    a.resetCoordinates->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    a.resetCoordinates->setShortcut(QKeySequence(Qt::Key_Home));
    a.back = makeAction(tr("Back"), "back", &MainWindow::goBack);
    a.back->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    a.back->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    a.forward = makeAction(tr("Forward"), "forward", &MainWindow::goForward);
    a.forward->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    a.forward->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    image->addActions({a.draw, a.clearRectangle, a.juliaMode, a.insideOut});
    image->addSeparator();
    image->addActions({a.rotate90, a.rotate90Mirror, a.mirror});
    image->addSeparator();
    image->addActions({a.resetCoordinates, a.back, a.forward});
    a.fitColours = makeAction(tr("Fit Colours to Picture"), "fitColours", &MainWindow::fitColoursToPicture);
    image->addSeparator();
    image->addAction(a.fitColours);

    QMenu* formula = bar->addMenu(tr("F&ormula"));
    for (int i = 0; i < 8; ++i) {
        a.formulas[size_t(i)] = makeToggle(tr(kFormulaCaptions[i]), "formula");
        a.formulas[size_t(i)]->setObjectName(QStringLiteral("formula%1").arg(i));
        connect(a.formulas[size_t(i)], &QAction::triggered, this, [this, i] { selectFormula(i); });
        formula->addAction(a.formulas[size_t(i)]);
    }

    QMenu* render = bar->addMenu(tr("&Render"));
    for (int i = 1; i <= 9; ++i) {
        QAction* action = makeToggle(tr(kRenderCaptions[i - 1]), "renderMethod");
        action->setObjectName(QStringLiteral("renderMethod%1").arg(i));
        connect(action, &QAction::triggered, this, [this, i] { selectRenderMethod(i); });
        render->addAction(action);
        a.renderMethods[size_t(i - 1)] = action;
    }

    QMenu* firstBlends = bar->addMenu(tr("&Mix'"));
    QMenu* laterBlends = bar->addMenu(tr("Mi&x''"));
    for (int i = 1; i <= colour::kBlendMethodCount; ++i) {
        const QString caption = i <= 9 ? tr(kBlendCaptions[i - 1]) : tr("%1.)").arg(i);
        QAction* action = makeToggle(caption, "blendMethod");
        action->setObjectName(QStringLiteral("blendMethod%1").arg(i));
        connect(action, &QAction::triggered, this, [this, i] { selectBlendMethod(i); });
        (i <= 10 ? firstBlends : laterBlends)->addAction(action);
        a.blendMethods[size_t(i - 1)] = action;
    }

    QMenu* orders = bar->addMenu(tr("r&gb"));
    for (int i = 1; i <= colour::kChannelOrderCount; ++i) {
        QAction* action = makeToggle(tr(kOrderCaptions[i - 1]), "channelOrder");
        action->setObjectName(QStringLiteral("channelOrder%1").arg(i));
        connect(action, &QAction::triggered, this, [this, i] { selectChannelOrder(i); });
        orders->addAction(action);
        a.channelOrders[size_t(i - 1)] = action;
    }

    QMenu* dialogs = bar->addMenu(tr("&dlgs"));
    a.colourControls = makeToggle(tr("Color Controls"), "colourControls", &MainWindow::toggleColourControls);
    a.colourControls->setIcon(GlyphIcon(Glyph::ColourControls));
    a.parameters = makeToggle(tr("Parameters"), "parameters", &MainWindow::toggleParametersDialog);
    a.parameters->setToolTip(tr("Fractal Parameters"));
    a.parameters->setIcon(GlyphIcon(Glyph::Parameters));
    a.imageSize = makeAction(tr("XY Size"), "imageSize", &MainWindow::toggleImageSizeDialog);
    a.imageSize->setIcon(GlyphIcon(Glyph::ImageSize));
    dialogs->addActions({a.colourControls, a.parameters, a.imageSize});

    QMenu* help = bar->addMenu(tr("&Help"));
    a.about = makeAction(tr("About"), "about", &MainWindow::showAbout);
    help->addAction(a.about);
    createExploreActions(file, image, help);

    pictureMenu_ = new QMenu(this);
    pictureMenu_->setObjectName(QStringLiteral("pictureMenu"));
    a.zoomIn = makeAction(tr("Zoom In (double click)"), "zoomIn", &MainWindow::zoomIntoSelection);
    a.rectangleMode = makeToggle(tr("Rectangle Mode"), "rectangleMode", &MainWindow::toggleRectangleMode);
    a.zoomInOutMode = makeToggle(tr("Zoom In/ Out Mode"), "zoomInOutMode", &MainWindow::toggleZoomInOutMode);
    pictureMenu_->addActions({a.zoomIn, a.rectangleMode});
    pictureMenu_->addSeparator();
    pictureMenu_->addActions({a.zoomInOutMode, a.juliaMode, a.insideOut});
    pictureMenu_->addSeparator();
    pictureMenu_->addAction(a.clearRectangle);
    pictureMenu_->addSeparator();
    pictureMenu_->addActions({a.back, a.forward});
    connect(view_->pictureBox(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pictureMenu_->popup(view_->pictureBox()->mapToGlobal(at)); });
}

void MainWindow::createToolBars() {
    MainWindowActions& a = actions_;
    QStyle* s = style();
    commandBar_ = new QToolBar(tr("Commands"), this);
    commandBar_->setObjectName(QStringLiteral("commandBar"));
    commandBar_->setIconSize(QSize(24, 24));
    addToolBar(Qt::TopToolBarArea, commandBar_);
    a.newPicture->setIcon(s->standardIcon(QStyle::SP_FileIcon));
    a.openImage->setIcon(s->standardIcon(QStyle::SP_DialogOpenButton));
    a.juliaIndicator = makeToggle(tr("J"), "juliaIndicator");
    a.juliaIndicator->setToolTip(tr("Julia Mode"));
    a.juliaIndicator->setIcon(GlyphIcon(Glyph::Julia));
    a.zoom = makeAction(tr("Zoom"), "zoom", &MainWindow::zoomIntoSelection);
    a.zoom->setIcon(GlyphIcon(Glyph::Zoom));
    a.colourControls->setToolTip(tr("Color Controls"));
    commandBar_->addActions({a.newPicture, a.openImage, a.parameters, a.juliaIndicator, a.zoom, a.colourControls});
    commandBar_->addSeparator();
    commandBar_->addActions({a.back, a.forward});

    generationBar_ = new QToolBar(tr("Generation"), this);
    generationBar_->setObjectName(QStringLiteral("generationBar"));
    generationBar_->setIconSize(QSize(24, 24));
    addToolBar(Qt::LeftToolBarArea, generationBar_);
    a.abort = makeAction(tr("Abort"), "abort", &MainWindow::abortGeneration);
    a.abort->setIcon(s->standardIcon(QStyle::SP_BrowserStop));
    a.abort->setShortcut(QKeySequence(Qt::Key_Escape));
    a.abort->setShortcutContext(Qt::ApplicationShortcut);
    a.apply = makeAction(tr("Apply"), "apply", &MainWindow::requestGeneration);
    a.apply->setIcon(GlyphIcon(Glyph::Apply));
    generationBar_->addActions({a.abort, a.apply, a.resetCoordinates, a.imageSize});
}

void MainWindow::updateActions() {
    const TIterationContext& c = core_.Context;
    MainWindowActions& a = actions_;
    // A value outside its range leaves its whole group unchecked.
    for (int i = 0; i < 8; ++i) a.formulas[size_t(i)]->setChecked(c.FormulaNo == i);
    for (int i = 1; i <= 9; ++i) a.renderMethods[size_t(i - 1)]->setChecked(c.RenderNo == i);
    for (int i = 1; i <= colour::kBlendMethodCount; ++i) a.blendMethods[size_t(i - 1)]->setChecked(c.BlendNo == i);
    for (int i = 1; i <= colour::kChannelOrderCount; ++i)
        a.channelOrders[size_t(i - 1)]->setChecked(c.ColorOrderNo == i);
    a.juliaMode->setChecked(c.JuliaMode == 1);
    a.juliaIndicator->setChecked(c.JuliaMode == 1);
    a.juliaIndicator->setEnabled(false);
    a.insideOut->setChecked(c.InsideOut != 0);
    a.rotate90->setChecked(c.RotationMode == 1);
    a.rotate90Mirror->setChecked(c.RotationMode == 2);
    a.mirror->setChecked(c.RotationMode == 3);
    a.zoomInOutMode->setChecked(zoomInMode_);
    a.rectangleMode->setChecked(rectangleMode_);
    a.zoom->setEnabled(view_->hasSelection());
    a.abort->setEnabled(generating_);
    a.back->setEnabled(history_.CanGoBack());
    a.forward->setEnabled(history_.CanGoForward());
    a.exportPicture->setEnabled(!isExporting());
    a.fitColours->setEnabled(!generating_);
    if (a.fitToWindow != nullptr) a.fitToWindow->setChecked(view_->fitToWindow());
    if (a.fullScreen != nullptr) a.fullScreen->setChecked(isFullScreen());
    if (parametersDialog_ != nullptr) a.parameters->setChecked(parametersDialog_->isVisible());
    if (colourDialog_ != nullptr) a.colourControls->setChecked(colourDialog_->isVisible());
    // The caption's modified marker follows the settings as well.
    updateCaption();
}

}  // namespace app

#include "app_fixture.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QSettings>
#include <QSpinBox>
#include <QTest>

#include "dialogs/image_size_dialog.h"
#include "image_file.h"

AppHarness::AppHarness(std::vector<std::string> pluginFolders, bool recordMessages, const QString& startupFile,
                       bool firstStart) {
    if (firstStart) QSettings(QSettings::NativeFormat, QSettings::UserScope, "halvane", "halvane").clear();
    app::MainWindowSetup setup;
    setup.pluginFolders = std::move(pluginFolders);
    setup.startupFile = startupFile;
    if (recordMessages) {
        setup.showMessage = [this](const QString& text, const QString& title) {
            messages << text;
            messageTitles << title;
            if (onMessage) onMessage(text);
        };
    }
    form = std::make_unique<app::MainWindow>(std::move(setup));
    realSaveFileDialog = form->saveFileDialog;
    form->openFileDialog = [this](QWidget*, const QString&, const QString& folder, const QString& filter) {
        openFilters << filter;
        openFolders << folder;
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    };
    form->saveFileDialog = [this](QWidget*, const QString&, const QString& name, const QString&) {
        offeredSaveNames << name;
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    };
    form->runModal = [this](QDialog& dialog) { return modalAnswer(dialog); };
}

AppHarness::~AppHarness() = default;

bool AppHarness::WaitUntilIdle() {
    for (int i = 0; i < 20000; ++i) {
        if (!form->isGenerating() && !form->core().RowInFlight()) return true;
        QTest::qWait(1);
    }
    return false;
}

bool AppHarness::StartAndWaitForFirstPicture() {
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get())) return false;
    for (int i = 0; i < 1000; ++i) {
        if (form->generationCount() >= 1 && form->pendingCommand() == app::MainWindow::PendingCommand::None)
            return WaitUntilIdle();
        QTest::qWait(10);
    }
    return false;
}

void AppHarness::Do(QAction* action) {
    action->trigger();
    WaitUntilIdle();
}

QWidget* AppHarness::Box() const { return form->pictureView()->pictureBox(); }

QByteArray AppHarness::PictureBytes() const {
    const imaging::Picture* picture = form->pictureView()->picture();
    if (picture == nullptr) return {};
    return QByteArray(reinterpret_cast<const char*>(picture->Bytes().data()),
                      static_cast<qsizetype>(picture->Bytes().size()));
}

void AppHarness::ApplySize(int width, int height) {
    auto* size = form->findChild<app::ImageSizeDialog*>();
    if (!size->isVisible()) form->toggleImageSizeDialog();
    size->setImageSize(width, height);
    QTest::mouseClick(size->findChild<QPushButton*>(QStringLiteral("applyButton")), Qt::LeftButton);
    WaitUntilIdle();
}

QByteArray Rows(const QByteArray& picture, int width, int first, int last) {
    return picture.mid(qsizetype{first} * width * 3, qsizetype{last - first} * width * 3);
}

QByteArray RenderedByTool(const TIterationContext& c, QString* error) {
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("rendered.ppm"));
    const auto real = [](double v) { return QString::number(v, 'g', 17); };
    QStringList arguments{QStringLiteral("--size"), QStringLiteral("%1x%2").arg(c.ImageWidth).arg(c.ImageHeight),
                          QStringLiteral("--formula"), QString::number(c.FormulaNo),
                          QStringLiteral("--render"), QString::number(c.RenderNo),
                          QStringLiteral("--blend"), QString::number(c.BlendNo),
                          QStringLiteral("--order"), QString::number(c.ColorOrderNo),
                          QStringLiteral("--maxit"), QString::number(c.Maxit),
                          QStringLiteral("--bailout"), QString::number(c.Bailout),
                          QStringLiteral("--rotation"), QString::number(c.RotationMode),
                          QStringLiteral("--center"), real(c.CenterX) + QLatin1Char(',') + real(c.CenterY),
                          QStringLiteral("--magnification"), real(c.Magnification),
                          QStringLiteral("--binary"), QStringLiteral("--quiet"),
                          QStringLiteral("--output"), output};
    if (c.InsideOut != 0) arguments << QStringLiteral("--inside-out");
    QProcess render;
    render.start(QCoreApplication::applicationDirPath() + QStringLiteral("/halvane-render"), arguments);
    const bool ran = render.waitForFinished(120000) && render.exitStatus() == QProcess::NormalExit && render.exitCode() == 0;
    imaging::Picture picture;
    if (!ran || !imaging::LoadImageFile(QFile::encodeName(output).toStdString(), picture).empty()) {
        if (error != nullptr) *error = QString::fromLocal8Bit(render.readAllStandardError());
        return {};
    }
    return QByteArray(reinterpret_cast<const char*>(picture.Bytes().data()), static_cast<qsizetype>(picture.Bytes().size()));
}

std::vector<AppTestClass>& AppTestClasses() {
    static std::vector<AppTestClass> classes;
    return classes;
}

RegisterAppTests::RegisterAppTests(const char* name, std::function<std::unique_ptr<QObject>()> make) {
    AppTestClasses().push_back(AppTestClass{name, std::move(make)});
}

// Save As with its parameter file, Load From Parameter File, and Open.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "app_fixture.h"
#include "dialogs/about_box.h"
#include "dialogs/colour_mixing_dialog.h"
#include "dialogs/parameters_dialog.h"
#include "image_file.h"

namespace {
QByteArray BytesOf(const imaging::Picture& picture) {
    return QByteArray(reinterpret_cast<const char*>(picture.Bytes().data()),
                      static_cast<qsizetype>(picture.Bytes().size()));
}
}  // namespace

class FileTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void saveAsThenLoadFromParameterFileGivesTheSamePicture();
    void saveAsCancelledOrFailingLosesNothing();
    void loadingShowsTheFileInTheOpenDialogs();
    void unreadableParameterFileChangesNothing();
    void openComputesIntoTheOpenedPicture();
    void openFailureKeepsThePicture();
    void newRebuildsTheDefaultPictureWhateverTheSize();
    void aLoadWhileComputingReadsTheChosenFile();
    void aLoadedPictureComesBackExactlyWithTheDialogsOpen();
    void aSavedPictureCarriesItsSettingsAndSize();
    void theCaptionMarksSettingsThatDifferFromTheFile();

private:
    std::unique_ptr<AppHarness> h;
    std::unique_ptr<QTemporaryDir> dir;
    QString Path(const char* name) const { return dir->filePath(QLatin1String(name)); }
};

void FileTest::init() {
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    h = std::make_unique<AppHarness>();
    QVERIFY(h->StartAndWaitForFirstPicture());
}

void FileTest::cleanup() {
    h.reset();
    dir.reset();
}

void FileTest::saveAsThenLoadFromParameterFileGivesTheSamePicture() {
    h->Do(h->A().formulas[2]);
    h->Do(h->A().renderMethods[2]);
    h->Do(h->A().mirror);
    h->Do(h->A().blendMethods[4]);
    h->Do(h->A().channelOrders[0]);
    const QByteArray saved = h->PictureBytes();
    const TIterationContext settings = h->Ctx();

    const QString path = Path("pic.png");
    h->saveAnswers << path;
    h->A().saveAs->trigger();
    QCOMPARE(h->offeredSaveNames, QStringList{QStringLiteral("halvane-")});
    QVERIFY2(h->messages.isEmpty(), qPrintable(h->messages.join(QLatin1Char('\n'))));
    QCOMPARE(h->form->windowTitle(), path);
    QCOMPARE(h->form->currentFile(), path);
    QVERIFY(QFile::exists(Path("pic.vtx")));
    imaging::Picture written;
    QCOMPARE(imaging::LoadImageFile(QFile::encodeName(path).toStdString(), written), std::string());
    QCOMPARE(BytesOf(written), saved);

    // The next Save As offers the saved name without its extension, in the folder saved to.
    h->A().saveAs->trigger();
    QCOMPARE(h->offeredSaveNames.value(1), Path("pic"));

    h->Do(h->A().newPicture);
    QVERIFY(h->PictureBytes() != saved);
    QCOMPARE(h->Ctx().FormulaNo, 0);

    const int count = h->form->generationCount();
    h->openAnswers << Path("pic.vtx");
    h->A().loadParameterFile->trigger();
    QVERIFY(h->openFilters.value(0).startsWith(QStringLiteral("Parameter files *.vtx (*.vtx);;All Files (*)")));
    QCOMPARE(h->form->pendingCommand(), app::MainWindow::PendingCommand::LoadParameterFile);
    QCOMPARE(h->form->windowIconText(), QStringLiteral("PARAM"));
    QTRY_COMPARE(h->form->generationCount(), count + 1);
    QVERIFY(h->WaitUntilIdle());
    QVERIFY2(h->messages.isEmpty(), qPrintable(h->messages.join(QLatin1Char('\n'))));
    QCOMPARE(h->form->pendingCommand(), app::MainWindow::PendingCommand::None);
    QCOMPARE(h->form->windowTitle(), Path("pic.vtx"));
    QCOMPARE(h->form->currentFile(), Path("pic.vtx"));
    QCOMPARE(h->Ctx().FormulaNo, 2);
    QCOMPARE(h->Ctx().RenderNo, 3);
    QCOMPARE(h->Ctx().RotationMode, 3);
    QCOMPARE(h->Ctx().BlendNo, 5);
    QCOMPARE(h->Ctx().ColorOrderNo, 1);
    QCOMPARE(h->Ctx().Magnification, settings.Magnification);
    QVERIFY(h->A().formulas[2]->isChecked());
    QCOMPARE(h->PictureBytes(), saved);
}

void FileTest::saveAsCancelledOrFailingLosesNothing() {
    h->A().saveAs->trigger();  // cancelled: no answer
    QCOMPARE(h->form->windowTitle(), QStringLiteral("halvane-ware"));
    QVERIFY(h->messages.isEmpty());

    h->saveAnswers << dir->filePath(QStringLiteral("missing/folder/pic.bmp"));
    h->A().saveAs->trigger();
    QCOMPARE(h->messages.size(), 1);
    QCOMPARE(h->form->windowTitle(), QStringLiteral("halvane-ware"));

    // An image saved where its parameter file cannot be written.
    QDir(dir->path()).mkdir(QStringLiteral("pic.vtx"));
    h->messages.clear();
    h->saveAnswers << Path("pic.bmp");
    h->A().saveAs->trigger();
    QVERIFY(QFile::exists(Path("pic.bmp")));
    QCOMPARE(h->form->windowTitle(), Path("pic.bmp"));
    QCOMPARE(h->messages.size(), 1);
}

void FileTest::loadingShowsTheFileInTheOpenDialogs() {
    h->saveAnswers << Path("a.png");
    h->A().saveAs->trigger();
    QVERIFY(QFile::exists(Path("a.vtx")));
    h->A().parameters->trigger();
    h->Find<QSpinBox>("Maxit")->setValue(250);
    const int count = h->form->generationCount();
    h->openAnswers << Path("a.vtx");
    h->A().loadParameterFile->trigger();
    QTRY_COMPARE(h->form->generationCount(), count + 1);
    QVERIFY(h->WaitUntilIdle());
    // The file's values, shown by the dialog before the generation read it.
    QCOMPARE(h->Ctx().Maxit, 100);
    QCOMPARE(h->Find<QSpinBox>("Maxit")->value(), 100);
}

void FileTest::unreadableParameterFileChangesNothing() {
    const QByteArray before = h->PictureBytes();
    const int count = h->form->generationCount();
    h->openAnswers << Path("nothing-here.vtx");
    h->A().loadParameterFile->trigger();
    QTRY_VERIFY(!h->form->startupTimer().isActive());
    QVERIFY(h->WaitUntilIdle());
    QCOMPARE(h->messages.size(), 1);
    QCOMPARE(h->form->generationCount(), count);
    QVERIFY(h->form->currentFile().isEmpty());
    QCOMPARE(h->PictureBytes(), before);
    QCOMPARE(h->Ctx().FormulaNo, 0);
}

void FileTest::openComputesIntoTheOpenedPicture() {
    imaging::Picture file(200, 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) file.SetPixel(x, y, imaging::PackColour(x, y, 77));
    const QString path = Path("opened.png");
    QCOMPARE(imaging::SaveImageFile(file, QFile::encodeName(path).toStdString()), std::string());

    h->openAnswers << path;
    const int count = h->form->generationCount();
    h->Do(h->A().openImage);
    QCOMPARE(h->form->generationCount(), count + 1);
    QVERIFY(h->openFilters.value(0).startsWith(QStringLiteral("Image files (*.bmp *.dib")));
    QCOMPARE(h->form->windowIconText(), QStringLiteral("halvane-ware, v0.001"));
    const imaging::Picture* shown = h->form->pictureView()->picture();
    QCOMPARE(shown->Width(), 200);
    QCOMPARE(shown->Height(), 100);
    QCOMPARE(h->form->currentPicture(), shown);
    // The opened picture's size is the image size: the settings fill all of it.
    QCOMPARE(h->Ctx().ImageWidth, 200);
    QCOMPARE(h->Ctx().ImageHeight, 100);
    QVERIFY(shown->Pixel(170, 50) != imaging::PackColour(170, 50, 77));
    QVERIFY(shown->Pixel(199, 99) != imaging::PackColour(199, 99, 77));
    QCOMPARE(h->Ctx().Magnification, 1.0);
    QCOMPARE(h->form->windowTitle(), path);
    auto* about = h->form->findChild<app::AboutBox*>();
    QCOMPARE(about->valueText(QStringLiteral("Valid Info")), path);
    QCOMPARE(about->valueText(QStringLiteral("Width")), QStringLiteral("200"));
    QCOMPARE(about->valueText(QStringLiteral("Type")).toUpper(), QStringLiteral("PNG"));

    // The next generation gives the same picture: it was computed whole.
    const QByteArray computed = h->PictureBytes();
    h->Do(h->A().apply);
    QCOMPARE(h->PictureBytes(), computed);
}

void FileTest::openFailureKeepsThePicture() {
    const QByteArray before = h->PictureBytes();
    QFile text(Path("not-a-picture.png"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("hello");
    text.close();
    const int count = h->form->generationCount();
    h->openAnswers << Path("not-a-picture.png");
    h->Do(h->A().openImage);
    QCOMPARE(h->messages.size(), 1);
    QCOMPARE(h->PictureBytes(), before);
    QCOMPARE(h->form->generationCount(), count);
    QCOMPARE(h->form->windowTitle(), QStringLiteral("halvane-ware"));
    QCOMPARE(h->form->windowIconText(), QStringLiteral("halvane-ware, v0.001"));
    QVERIFY(h->form->currentFile().isEmpty());

    // Cancelled: nothing happens.
    h->Do(h->A().openImage);
    QCOMPARE(h->messages.size(), 1);
    QCOMPARE(h->form->generationCount(), count);
}

void FileTest::newRebuildsTheDefaultPictureWhateverTheSize() {
    const QByteArray startPicture = h->PictureBytes();
    h->ApplySize(320, 240);
    QTest::mouseClick(h->Box(), Qt::LeftButton, {}, QPoint(100, 100));
    QVERIFY(h->WaitUntilIdle());
    h->Do(h->A().newPicture);
    // The whole picture is the start-up one, and every size agrees.
    QCOMPARE(h->PictureBytes(), startPicture);
    QCOMPARE(h->Ctx().ImageWidth, 160);
    QCOMPARE(h->Find<QSpinBox>("width")->value(), 160);  // the size dialog is still open
    QCOMPARE(h->Find<QSpinBox>("height")->value(), 120);
    h->saveAnswers << Path("new.bmp");
    h->A().saveAs->trigger();
    imaging::Picture saved;
    QCOMPARE(imaging::LoadImageFile(QFile::encodeName(Path("new.bmp")).toStdString(), saved), std::string());
    QCOMPARE(BytesOf(saved), startPicture);

    // Open, resize, New: the sizes stay in step with the picture.
    QCOMPARE(imaging::SaveImageFile(imaging::Picture(400, 300), QFile::encodeName(Path("big.png")).toStdString()),
             std::string());
    h->openAnswers << Path("big.png");
    h->Do(h->A().openImage);
    QCOMPARE(h->Ctx().ImageWidth, 400);
    QCOMPARE(h->Find<QSpinBox>("width")->value(), 400);
    h->ApplySize(320, 240);
    h->Do(h->A().newPicture);
    QCOMPARE(h->Ctx().ImageWidth, 160);
    QCOMPARE(h->Ctx().ImageHeight, 120);
    QCOMPARE(h->PictureBytes(), startPicture);
}

void FileTest::aLoadWhileComputingReadsTheChosenFile() {
    h->Do(h->A().formulas[2]);
    const QByteArray saved = h->PictureBytes();
    h->saveAnswers << Path("two.png");
    h->A().saveAs->trigger();
    h->Do(h->A().newPicture);
    // Chosen while a picture is computed: the busy caption does not get in the way.
    h->Ctx().Maxit = 5000;
    bool chosen = false;
    h->form->afterRowHook = [this, &chosen](int32_t row) {
        if (row != 2 || chosen) return;
        chosen = true;
        QMetaObject::invokeMethod(&h->form->busyTimer(), "timeout", Qt::DirectConnection);
        h->openAnswers << Path("two.vtx");
        h->A().loadParameterFile->trigger();
    };
    h->form->requestGeneration();
    QTRY_VERIFY(h->form->pendingCommand() == app::MainWindow::PendingCommand::None && !h->form->isGenerating());
    QVERIFY(h->WaitUntilIdle());
    h->form->afterRowHook = nullptr;
    QVERIFY2(h->messages.isEmpty(), qPrintable(h->messages.join(QLatin1Char('\n'))));
    QCOMPARE(h->Ctx().FormulaNo, 2);
    QCOMPARE(h->PictureBytes(), saved);
    QCOMPARE(h->form->windowTitle(), Path("two.vtx"));

    // A file that fails to load is not offered as the name to save under.
    QFile bad(Path("bad.vtx"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("version-.001\r\nnot a number\r\n");
    bad.close();
    h->openAnswers << Path("bad.vtx");
    h->A().loadParameterFile->trigger();
    QTRY_COMPARE(h->messages, QStringList{QStringLiteral("Error reading parameter file")});
    QVERIFY(h->WaitUntilIdle());
    h->A().saveAs->trigger();
    QCOMPARE(h->offeredSaveNames.last(), Path("two"));
}

void FileTest::aLoadedPictureComesBackExactlyWithTheDialogsOpen() {
    TIterationContext& c = h->Ctx();
    c.RedStep = 0.333;
    c.JuliaMode = 1;
    c.JuliaX = 0.1234567891234;
    c.JuliaY = -0.6543210987654;
    h->Do(h->A().apply);
    const QByteArray saved = h->PictureBytes();
    h->saveAnswers << Path("julia.png");
    h->A().saveAs->trigger();

    // Dialogs open with other values, then New and the load.
    h->Do(h->A().parameters);
    h->Find<QSpinBox>("Maxit")->setValue(250);
    h->Find<QDoubleSpinBox>("JuliaX")->setValue(0.5);
    h->A().colourControls->trigger();
    QTRY_VERIFY(!h->form->findChild<app::ColourMixingDialog*>()->applyPending());
    QVERIFY(h->WaitUntilIdle());
    h->Do(h->A().newPicture);
    h->openAnswers << Path("julia.vtx");
    h->A().loadParameterFile->trigger();
    QTRY_COMPARE(h->form->currentFile(), Path("julia.vtx"));
    QVERIFY(h->WaitUntilIdle());
    QCOMPARE(h->PictureBytes(), saved);
    QCOMPARE(c.JuliaX, 0.1234567891234);
    QCOMPARE(h->Find<QSpinBox>("Maxit")->value(), 100);

    // Touching one colour control changes that one only.
    h->Find<QDoubleSpinBox>("GrnStart")->setValue(18.0);
    QTRY_COMPARE(c.GrnStart, 18.0);
    QCOMPARE(c.RedStep, 0.333);
}

void FileTest::aSavedPictureCarriesItsSettingsAndSize() {
    h->ApplySize(200, 150);
    h->Do(h->A().formulas[5]);
    h->Do(h->A().blendMethods[2]);
    const QByteArray saved = h->PictureBytes();
    h->saveAnswers << Path("carried.tif");
    h->A().saveAs->trigger();
    h->Do(h->A().newPicture);
    QCOMPARE(h->Ctx().ImageWidth, 160);

    h->openAnswers << Path("carried.tif");
    h->A().loadParameterFile->trigger();
    QTRY_COMPARE(h->form->pendingCommand(), app::MainWindow::PendingCommand::None);
    QVERIFY(h->WaitUntilIdle());
    QVERIFY2(h->messages.isEmpty(), qPrintable(h->messages.join(QLatin1Char('\n'))));
    QCOMPARE(h->Ctx().FormulaNo, 5);
    QCOMPARE(h->Ctx().ImageWidth, 200);
    QCOMPARE(h->PictureBytes(), saved);

    // A picture without settings changes nothing.
    QCOMPARE(imaging::SaveImageFile(imaging::Picture(10, 10), QFile::encodeName(Path("plain.png")).toStdString()),
             std::string());
    const int count = h->form->generationCount();
    h->openAnswers << Path("plain.png");
    h->A().loadParameterFile->trigger();
    QTRY_COMPARE(h->messages.size(), 1);
    QVERIFY(h->messages.at(0).contains(QStringLiteral("carries no halvane settings")));
    QVERIFY(h->WaitUntilIdle());
    QCOMPARE(h->form->generationCount(), count);
    QCOMPARE(h->PictureBytes(), saved);
}

// The caption names the file the picture belongs to, marked while the
// settings differ from the file's; after New it belongs to none.
void FileTest::theCaptionMarksSettingsThatDifferFromTheFile() {
    const auto expectCaption = [this](const QString& title, bool modified) {
        QCOMPARE(h->form->windowTitle(), title);
        QCOMPARE(h->form->isWindowModified(), modified);
    };
    h->Do(h->A().formulas[3]);
    const QString path = Path("pic.png");
    h->saveAnswers << path;
    h->A().saveAs->trigger();
    expectCaption(path, false);

    struct Change {
        const char* what;
        std::function<void()> change;
        std::function<void()> undo;
    };
    const Change changes[] = {
        {"formula", [this] { h->Do(h->A().formulas[5]); }, [this] { h->Do(h->A().formulas[3]); }},
        {"blend, recoloured", [this] { h->Do(h->A().blendMethods[2]); }, [this] { h->Do(h->A().blendMethods[19]); }},
        {"Julia mode, no generation", [this] { h->Do(h->A().juliaMode); }, [this] { h->Do(h->A().juliaMode); }},
        {"image size", [this] { h->ApplySize(100, 80); }, [this] { h->ApplySize(160, 120); }},
        {"zoom, then Back", [this] {
             QTest::mouseClick(h->Box(), Qt::LeftButton, {}, QPoint(80, 60));
             QVERIFY(h->WaitUntilIdle());
         }, [this] { h->Do(h->A().back); }},
    };
    for (const Change& c : changes) {
        c.change();
        QVERIFY2(h->form->isWindowModified(), c.what);
        expectCaption(path + QStringLiteral("[*]"), true);
        c.undo();
        QVERIFY2(!h->form->isWindowModified(), c.what);
        expectCaption(path, false);
    }
    h->A().imageSize->trigger();  // hidden again

    // Loading, and opening, make the picture the file's.
    h->Do(h->A().formulas[1]);
    h->openAnswers << Path("pic.vtx");
    h->A().loadParameterFile->trigger();
    QTRY_COMPARE(h->Ctx().FormulaNo, 3);
    QVERIFY(h->WaitUntilIdle());
    expectCaption(Path("pic.vtx"), false);
    h->openAnswers << path;
    h->A().loadParameterFile->trigger();
    QTRY_COMPARE(h->form->currentFile(), path);
    QVERIFY(h->WaitUntilIdle());
    expectCaption(path, false);
    h->openAnswers << path;
    h->Do(h->A().openImage);
    expectCaption(path, false);
    h->Do(h->A().rotate90);
    expectCaption(path + QStringLiteral("[*]"), true);

    // A file saved while a Julia constant is still to be picked: the
    // picture computed from it fixes the constant, which changes nothing.
    h->Do(h->A().juliaMode);
    h->saveAnswers << Path("julia.png");
    h->A().saveAs->trigger();
    h->openAnswers << Path("julia.vtx");
    h->A().loadParameterFile->trigger();
    QTRY_COMPARE(h->form->currentFile(), Path("julia.vtx"));
    QVERIFY(h->WaitUntilIdle());
    QCOMPARE(h->Ctx().JuliaFixed, 1);
    expectCaption(Path("julia.vtx"), false);

    h->Do(h->A().newPicture);
    expectCaption(QStringLiteral("halvane-ware"), false);
    QCOMPARE(h->form->currentFile(), QString());
    h->A().saveAs->trigger();
    QCOMPARE(h->offeredSaveNames.last(), Path("halvane-"));  // in the folder last saved to
}

static RegisterAppTests registration("FileTest", [] { return std::make_unique<FileTest>(); });

#include "files_test.moc"

// Save As with its parameter file, Load From Parameter File, and Open.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "about_box.h"
#include "app_fixture.h"
#include "image_file.h"
#include "image_view.h"
#include "mode_word.h"
#include "parameters_dialog.h"
#include "picture_settings.h"

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
    void loadingWithTheParametersDialogOpenKeepsItsValues();
    void unreadableParameterFileChangesNothing();
    void openComputesIntoTheOpenedPicture();
    void openFailureKeepsThePicture();

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
    h->Act("Draw02")->trigger();
    h->Act("Render03")->trigger();
    h->Act("Mirror")->trigger();
    h->Act("Blend05")->trigger();
    h->Act("RGBOrder01")->trigger();
    const QByteArray saved = h->PictureBytes();
    const TIterationContext settings = h->Ctx();

    const QString path = Path("pic.png");
    h->saveAnswers << path;
    h->Act("SaveAs1")->trigger();
    QCOMPARE(h->offeredSaveNames, QStringList{QStringLiteral("halvane-")});
    QVERIFY2(h->messages.isEmpty(), qPrintable(h->messages.join(QLatin1Char('\n'))));
    QCOMPARE(h->form->windowTitle(), path);
    QVERIFY(QFile::exists(Path("pic.vtx")));
    imaging::Picture written;
    QCOMPARE(imaging::LoadImageFile(QFile::encodeName(path).toStdString(), written), std::string());
    QCOMPARE(BytesOf(written), saved);

    // The next Save As offers the saved name without its extension.
    h->Act("SaveAs1")->trigger();
    QCOMPARE(h->offeredSaveNames.value(1), QStringLiteral("pic"));

    h->Act("New1")->trigger();
    QVERIFY(h->PictureBytes() != saved);
    QCOMPARE(h->Ctx().FormulaNo, 0);

    const int count = h->form->GenerationCount();
    h->openAnswers << Path("pic.vtx");
    h->Act("LoadFromParameterFile1")->trigger();
    QCOMPARE(h->openFilters.value(0), QStringLiteral("Parameter files *.vtx (*.vtx);;All Files (*)"));
    QCOMPARE(app::ModeWord(), QStringLiteral("PARAM"));
    QCOMPARE(h->form->windowTitle(), Path("pic.vtx"));
    QTRY_COMPARE(h->form->GenerationCount(), count + 1);
    QTRY_VERIFY(!h->form->Generating());
    QVERIFY2(h->messages.isEmpty(), qPrintable(h->messages.join(QLatin1Char('\n'))));
    QCOMPARE(app::ModeWord(), Path("pic.vtx"));
    QCOMPARE(h->form->windowTitle(), Path("pic.vtx"));
    QCOMPARE(h->form->SavedCaption(), Path("pic.vtx"));
    QCOMPARE(h->Ctx().FormulaNo, 2);
    QCOMPARE(h->Ctx().RenderNo, 3);
    QCOMPARE(h->Ctx().RotationMode, 3);
    QCOMPARE(h->Ctx().BlendNo, 5);
    QCOMPARE(h->Ctx().ColorOrderNo, 1);
    QCOMPARE(h->Ctx().Magnification, settings.Magnification);
    QVERIFY(h->Act("Draw02")->isChecked());
    QCOMPARE(h->PictureBytes(), saved);
}

void FileTest::saveAsCancelledOrFailingLosesNothing() {
    h->Act("SaveAs1")->trigger();  // cancelled: no answer
    QCOMPARE(h->form->windowTitle(), QStringLiteral("halvane-ware"));
    QVERIFY(h->messages.isEmpty());

    h->saveAnswers << dir->filePath(QStringLiteral("missing/folder/pic.bmp"));
    h->Act("SaveAs1")->trigger();
    QCOMPARE(h->messages.size(), 1);
    QCOMPARE(h->form->windowTitle(), QStringLiteral("halvane-ware"));

    // An image saved where its parameter file cannot be written.
    QDir(dir->path()).mkdir(QStringLiteral("pic.vtx"));
    h->messages.clear();
    h->saveAnswers << Path("pic.bmp");
    h->Act("SaveAs1")->trigger();
    QVERIFY(QFile::exists(Path("pic.bmp")));
    QCOMPARE(h->form->windowTitle(), Path("pic.bmp"));
    QCOMPARE(h->messages.size(), 1);
}

void FileTest::loadingWithTheParametersDialogOpenKeepsItsValues() {
    h->saveAnswers << Path("a.png");
    h->Act("SaveAs1")->trigger();
    QVERIFY(QFile::exists(Path("a.vtx")));
    auto* params = h->form->findChild<TForm4*>();
    h->Act("Params")->trigger();
    params->Maxit->setValue(250);
    const int count = h->form->GenerationCount();
    h->openAnswers << Path("a.vtx");
    h->Act("LoadFromParameterFile1")->trigger();
    QTRY_COMPARE(h->form->GenerationCount(), count + 1);
    QTRY_VERIFY(!h->form->Generating());
    QCOMPARE(h->Ctx().Maxit, 250);
}

void FileTest::unreadableParameterFileChangesNothing() {
    const QByteArray before = h->PictureBytes();
    const int count = h->form->GenerationCount();
    h->openAnswers << Path("nothing-here.vtx");
    h->Act("LoadFromParameterFile1")->trigger();
    QTRY_VERIFY(!h->form->Timer1().isActive());
    QCOMPARE(h->messages.size(), 1);
    QCOMPARE(h->form->GenerationCount(), count);
    QCOMPARE(h->PictureBytes(), before);
    QCOMPARE(h->Ctx().FormulaNo, 0);
}

void FileTest::openComputesIntoTheOpenedPicture() {
    const QByteArray startPicture = h->PictureBytes();
    imaging::Picture file(200, 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) file.SetPixel(x, y, imaging::PackColour(x, y, 77));
    const QString path = Path("opened.png");
    QCOMPARE(imaging::SaveImageFile(file, QFile::encodeName(path).toStdString()), std::string());

    h->openAnswers << path;
    const int count = h->form->GenerationCount();
    h->Act("OpenBtn")->trigger();
    QCOMPARE(h->form->GenerationCount(), count + 1);
    QVERIFY(h->openFilters.value(0).startsWith(QStringLiteral("Image files (*.bmp *.dib")));
    QCOMPARE(app::ModeWord(), QStringLiteral("halvane-ware, v0.001"));
    const imaging::Picture* shown = h->form->PGImage1()->Picture();
    QCOMPARE(shown->Width(), 200);
    QCOMPARE(shown->Height(), 100);
    QCOMPARE(h->form->CurrentImage(), shown);
    // The picture of the settings, 160 by 120, from the top-left corner.
    for (int y = 0; y < 100; ++y) {
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(shown->Row(y)), 160 * 3),
                 startPicture.mid(qsizetype{y} * 160 * 3, 160 * 3));
        QCOMPARE(shown->Pixel(170, y), imaging::PackColour(170, y, 77));
    }
    QCOMPARE(h->Ctx().ImageWidth, 200);
    QCOMPARE(h->Ctx().ImageHeight, 100);
    QCOMPARE(h->Ctx().Magnification, 1.0);
    QCOMPARE(h->form->windowTitle(), QStringLiteral("halvane-ware"));
    QCOMPARE(h->form->findChild<TAboutBox*>()->Value(QStringLiteral("Valid Info"))->text(), path);
    QCOMPARE(h->form->findChild<TAboutBox*>()->Value(QStringLiteral("Width"))->text(), QStringLiteral("200"));
    QCOMPARE(h->form->findChild<TAboutBox*>()->Value(QStringLiteral("Type"))->text().toUpper(),
             QStringLiteral("PNG"));

    // The next generation fills the opened picture.
    h->Act("ApplyBtn")->trigger();
    QVERIFY(shown->Pixel(170, 50) != imaging::PackColour(170, 50, 77));
}

void FileTest::openFailureKeepsThePicture() {
    const QByteArray before = h->PictureBytes();
    QFile text(Path("not-a-picture.png"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("hello");
    text.close();
    const int count = h->form->GenerationCount();
    h->openAnswers << Path("not-a-picture.png");
    h->Act("Open1")->trigger();
    QCOMPARE(h->messages.size(), 1);
    QCOMPARE(h->PictureBytes(), before);
    QCOMPARE(h->form->GenerationCount(), count);
    QCOMPARE(h->form->windowTitle(), QStringLiteral("halvane-ware"));
    QCOMPARE(app::ModeWord(), QStringLiteral("halvane-ware, v0.001"));

    // Cancelled: nothing happens.
    h->Act("Open1")->trigger();
    QCOMPARE(h->messages.size(), 1);
    QCOMPARE(h->form->GenerationCount(), count);
}

int RunFileTests(int argc, char** argv) {
    FileTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "files_test.moc"

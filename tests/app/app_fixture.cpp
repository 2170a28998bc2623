#include "app_fixture.h"

#include <QAction>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "image_view.h"
#include "mode_word.h"
#include "picture_settings.h"
#include "windows.h"
#include "xy_size_dialog.h"

AppHarness::AppHarness(std::vector<std::string> pluginFolders) {
    app::TForm1Setup setup;
    setup.pluginFolders = std::move(pluginFolders);
    setup.showMessage = [this](const QString& text, const QString& title) {
        messages << text;
        messageTitles << title;
    };
    form = app::CreateWindows(std::move(setup));
    form->openFileDialog = [this](QWidget*, const QString&, const QString&, const QString& filter) {
        openFilters << filter;
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    };
    form->saveFileDialog = [this](QWidget*, const QString&, const QString& name, const QString&) {
        offeredSaveNames << name;
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    };
    form->runModal = [this](QDialog& dialog) { return modalAnswer(dialog); };
}

AppHarness::~AppHarness() = default;

bool AppHarness::StartAndWaitForFirstPicture() {
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get())) return false;
    for (int i = 0; i < 1000; ++i) {
        if (form->GenerationCount() >= 1 && !form->Generating() &&
            app::ModeWord() == QLatin1String(engine::kIdleTitle))
            return true;
        QTest::qWait(10);
    }
    return false;
}

QAction* AppHarness::Act(const char* name) const { return form->Action(QLatin1String(name)); }

QWidget* AppHarness::Box() const { return form->PGImage1()->PicBox(); }

QByteArray AppHarness::PictureBytes() const {
    const imaging::Picture* picture = form->PGImage1()->Picture();
    if (picture == nullptr) return {};
    return QByteArray(reinterpret_cast<const char*>(picture->Bytes().data()),
                      static_cast<qsizetype>(picture->Bytes().size()));
}

void AppHarness::ApplySize(int width, int height) {
    auto* size = form->findChild<TXYSize*>();
    if (!size->isVisible()) form->XYSizeBtnClick();
    size->RxWidth->setValue(width);
    size->RxHeight->setValue(height);
    QTest::mouseClick(size->RxSpeedButton1, Qt::LeftButton);
}

QByteArray Rows(const QByteArray& picture, int width, int first, int last) {
    return picture.mid(qsizetype{first} * width * 3, qsizetype{last - first} * width * 3);
}

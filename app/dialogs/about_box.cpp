#include "about_box.h"

#include <QFont>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "halvane_version.h"

namespace app {

namespace {
const char* const kRows[] = {QT_TRANSLATE_NOOP("app::AboutBox", "Valid Info"),
                             QT_TRANSLATE_NOOP("app::AboutBox", "Type"),
                             QT_TRANSLATE_NOOP("app::AboutBox", "SubType"),
                             QT_TRANSLATE_NOOP("app::AboutBox", "Options"),
                             QT_TRANSLATE_NOOP("app::AboutBox", "Width"),
                             QT_TRANSLATE_NOOP("app::AboutBox", "Height"),
                             QT_TRANSLATE_NOOP("app::AboutBox", "Colors"),
                             QT_TRANSLATE_NOOP("app::AboutBox", "BitsPerPixel"),
                             QT_TRANSLATE_NOOP("app::AboutBox", "GraphicCount")};
}  // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutBox"));
    setWindowTitle(tr("About"));
    setModal(true);

    auto* product = new QLabel(tr("Halvane-Ware"), this);
    product->setObjectName(QStringLiteral("productName"));
    QFont big = product->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    product->setFont(big);
    auto* version = new QLabel(tr("Version 0.001, beta"), this);
    version->setObjectName(QStringLiteral("version"));
    // The product's own version text stays; the program's version (the one
    // --version prints) is shown under it.
    auto* programVersion = new QLabel(tr("halvane %1").arg(QStringLiteral(HALVANE_VERSION)), this);
    programVersion->setObjectName(QStringLiteral("programVersion"));
    programVersion->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* grid = new QGridLayout;
    int row = 0;
    for (const char* caption : kRows) {
        auto* name = new QLabel(tr(caption), this);
        auto* value = new QLabel(this);
        value->setObjectName(QLatin1String(caption));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(name, row, 0);
        grid->addWidget(value, row, 1);
        values_ << value;
        ++row;
    }

    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(product, 0, Qt::AlignHCenter);
    layout->addWidget(version, 0, Qt::AlignHCenter);
    layout->addWidget(programVersion, 0, Qt::AlignHCenter);
    layout->addSpacing(8);
    layout->addLayout(grid);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void AboutBox::setInfo(const QString& fileName, const imaging::ImageInfo& info) {
    const QString texts[] = {fileName,
                             QString::fromStdString(info.Type),
                             QString::fromStdString(info.SubType),
                             QString::fromStdString(info.Options),
                             QString::number(info.Width),
                             QString::number(info.Height),
                             QString::number(info.Colors),
                             QString::number(info.BitsPerPixel),
                             QString::number(info.GraphicCount)};
    for (int i = 0; i < values_.size(); ++i) values_[i]->setText(texts[i]);
}

QString AboutBox::valueText(const QString& row) const {
    const QLabel* label = findChild<QLabel*>(row);
    return label != nullptr ? label->text() : QString();
}

}  // namespace app

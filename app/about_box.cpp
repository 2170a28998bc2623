#include "about_box.h"

#include <QFont>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {
const char* const kRows[] = {"Valid Info", "Type",   "SubType", "Options",     "Width",
                             "Height",     "Colors", "BitsPerPixel", "GraphicCount"};
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);

    auto* product = new QLabel(QStringLiteral("Halvane-Ware"), this);
    product->setObjectName(QStringLiteral("ProductName"));
    QFont big = product->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    product->setFont(big);
    auto* version = new QLabel(QStringLiteral("Version 0.001, beta"), this);
    version->setObjectName(QStringLiteral("Version"));

    auto* grid = new QGridLayout;
    int row = 0;
    for (const char* caption : kRows) {
        auto* name = new QLabel(QLatin1String(caption), this);
        auto* value = new QLabel(this);
        value->setObjectName(QLatin1String(caption));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(name, row, 0);
        grid->addWidget(value, row, 1);
        values_ << value;
        ++row;
    }

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(product, 0, Qt::AlignHCenter);
    layout->addWidget(version, 0, Qt::AlignHCenter);
    layout->addSpacing(8);
    layout->addLayout(grid);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TAboutBox::SetInfo(const QString& fileName, const imaging::ImageInfo& info) {
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

QLabel* TAboutBox::Value(const QString& row) const { return findChild<QLabel*>(row); }

#include "xy_size_dialog.h"

#include <QAction>
#include <QFormLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
// Sizes refused by the main window (0 and below, or too large) can still be
// typed; the bounds only keep the text to a sensible length.
constexpr int kSizeBound = 999999;

struct SizeItem {
    const char* name;
    const char* caption;
    int width;
    int height;
};

constexpr SizeItem kSizes[] = {
    {"N120by801", "120 by 80", 120, 80},
    {"N160by1201", "160 by 120", 160, 120},
    {"N320by2402", "320 by 240", 320, 240},
    {"N640by4801", "640 by 480", 640, 480},
    {"N800by6001", "800 by 600", 800, 600},
    {"N1280by9601", "1280 by 960", 1280, 960},
    {"N1600by12001", "1600 by 1200", 1600, 1200},
    {"N1960by14401", "1960 by 1440", 1960, 1440},
    {"N2400by18001", "2400 by 1800", 2400, 1800},
    {"N2560by1920", "2560 by 1920", 2560, 1920},
    {"N3200by24001", "3200 by 2400", 3200, 2400},
};

QSpinBox* SizeSpin(QWidget* parent, const char* name) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(-kSizeBound, kSizeBound);
    spin->setSingleStep(1);
    return spin;
}
}  // namespace

TXYSize::TXYSize(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("XYSize"));
    setWindowTitle(QStringLiteral("XYSize"));
    setModal(false);
    setCursor(Qt::PointingHandCursor);

    RxWidth = SizeSpin(this, "RxWidth");
    RxHeight = SizeSpin(this, "RxHeight");
    RxSpeedButton1 = new QPushButton(QStringLiteral("Apply"), this);
    RxSpeedButton1->setObjectName(QStringLiteral("RxSpeedButton1"));
    RxSpeedButton1->setFlat(true);
    RxSpeedButton1->setDefault(true);
    connect(RxSpeedButton1, &QPushButton::clicked, this, &TXYSize::ApplyClicked);

    SizeMenuBar = new QMenuBar(this);
    Size1 = SizeMenuBar->addMenu(QStringLiteral("Size"));
    Size1->setObjectName(QStringLiteral("Size1"));
    for (const SizeItem& item : kSizes) {
        QAction* action = Size1->addAction(QLatin1String(item.caption));
        action->setObjectName(QLatin1String(item.name));
        const int width = item.width;
        const int height = item.height;
        connect(action, &QAction::triggered, this, [this, width, height] { SetSize(width, height); });
    }

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Width"), RxWidth);
    form->addRow(QStringLiteral("Height"), RxHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(SizeMenuBar);
    layout->addLayout(form);
    layout->addWidget(RxSpeedButton1, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(RxWidth, RxHeight);
    setTabOrder(RxHeight, RxSpeedButton1);
}

void TXYSize::SetSize(int width, int height) {
    RxWidth->setValue(width);
    RxHeight->setValue(height);
}

int TXYSize::WidthValue() const { return RxWidth->value(); }
int TXYSize::HeightValue() const { return RxHeight->value(); }

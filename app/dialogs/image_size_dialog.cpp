#include "image_size_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QFormLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "flat_button.h"
#include <QSpinBox>
#include <QVBoxLayout>

namespace app {

namespace {
// Sizes refused by the main window (0 and below, or too large) can still be
// typed; the bounds only keep the text to a sensible length.
constexpr int kSizeBound = 999999;

struct CommonSize {
    int width;
    int height;
};

// "1960 by 1440" is 49:36 and "120 by 80" 3:2; the others are 4:3.
constexpr CommonSize kCommonSizes[] = {
    {120, 80},   {160, 120},   {320, 240},   {640, 480},   {800, 600},   {1280, 960},
    {1600, 1200}, {1960, 1440}, {2400, 1800}, {2560, 1920}, {3200, 2400},
};

QSpinBox* SizeSpin(QWidget* parent, const char* name) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(-kSizeBound, kSizeBound);
    spin->setSingleStep(1);
    return spin;
}
}  // namespace

ImageSizeDialog::ImageSizeDialog(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("imageSizeDialog"));
    setWindowTitle(tr("XYSize"));
    setModal(false);
    setCursor(Qt::PointingHandCursor);

    width_ = SizeSpin(this, "width");
    height_ = SizeSpin(this, "height");
    apply_ = new FlatButton(tr("Apply"), this);
    apply_->setObjectName(QStringLiteral("applyButton"));
    apply_->setDefault(true);
    connect(apply_, &QPushButton::clicked, this, &ImageSizeDialog::applyClicked);

    auto* menuBar = new QMenuBar(this);
    QMenu* sizes = menuBar->addMenu(tr("Size"));
    sizes->setObjectName(QStringLiteral("sizeMenu"));
    for (const CommonSize& size : kCommonSizes) {
        QAction* action = sizes->addAction(tr("%1 by %2").arg(size.width).arg(size.height));
        action->setObjectName(QStringLiteral("size%1x%2").arg(size.width).arg(size.height));
        connect(action, &QAction::triggered, this, [this, size] { setImageSize(size.width, size.height); });
    }

    // The picture's size follows the main window's picture view.
    fit_ = new QCheckBox(tr("Fit to window"), this);
    fit_->setObjectName(QStringLiteral("fitToWindow"));
    connect(fit_, &QCheckBox::clicked, this, &ImageSizeDialog::fitToggled);

    auto* form = new QFormLayout;
    form->addRow(tr("Width"), width_);
    form->addRow(tr("Height"), height_);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addLayout(form);
    layout->addWidget(fit_);
    layout->addWidget(apply_, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(width_, height_);
    setTabOrder(height_, apply_);
}

void ImageSizeDialog::setImageSize(int width, int height) {
    width_->setValue(width);
    height_->setValue(height);
}

void ImageSizeDialog::setFitToWindow(bool on) { fit_->setChecked(on); }

bool ImageSizeDialog::fitToWindow() const { return fit_->isChecked(); }

int ImageSizeDialog::imageWidth() const { return width_->value(); }
int ImageSizeDialog::imageHeight() const { return height_->value(); }

}  // namespace app

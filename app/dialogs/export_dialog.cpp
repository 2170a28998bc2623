#include "export_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "picture.h"

namespace app {

namespace {
QSpinBox* SizeSpin(QWidget* parent, const char* name) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(1, imaging::Picture::kMaxSide);
    return spin;
}
}  // namespace

ExportDialog::ExportDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("exportDialog"));
    setWindowTitle(tr("Export Picture"));
    setModal(true);

    width_ = SizeSpin(this, "width");
    height_ = SizeSpin(this, "height");
    samples_ = new QComboBox(this);
    samples_->setObjectName(QStringLiteral("samples"));
    for (int n = 1; n <= 4; ++n) samples_->addItem(tr("%1 x %1").arg(n), n);
    path_ = new QLineEdit(this);
    path_->setObjectName(QStringLiteral("path"));
    path_->setMinimumWidth(260);
    auto* browse = new QPushButton(tr("Browse..."), this);
    browse->setObjectName(QStringLiteral("browseButton"));
    connect(browse, &QPushButton::clicked, this, &ExportDialog::browse);

    auto* file = new QHBoxLayout;
    file->addWidget(path_, 1);
    file->addWidget(browse);
    auto* form = new QFormLayout;
    form->addRow(tr("Width"), width_);
    form->addRow(tr("Height"), height_);
    form->addRow(tr("Samples per pixel"), samples_);
    form->addRow(tr("File"), file);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Export"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("exportButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (!path_->text().trimmed().isEmpty()) accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void ExportDialog::propose(int pictureWidth, int pictureHeight, const QString& path) {
    width_->setValue(std::min(pictureWidth * 4, imaging::Picture::kMaxSide));
    height_->setValue(std::min(pictureHeight * 4, imaging::Picture::kMaxSide));
    samples_->setCurrentIndex(1);
    path_->setText(path);
}

void ExportDialog::proposeAgain(int width, int height, int samples, const QString& path) {
    width_->setValue(width);
    height_->setValue(height);
    samples_->setCurrentIndex(std::clamp(samples, 1, 4) - 1);
    path_->setText(path);
}

ExportChoice ExportDialog::choice() const {
    return ExportChoice{width_->value(), height_->value(), samples_->currentData().toInt(), path_->text().trimmed()};
}

void ExportDialog::browse() {
    if (!chooseFile) return;
    const QString chosen = chooseFile(path_->text());
    if (!chosen.isEmpty()) path_->setText(chosen);
}

}  // namespace app

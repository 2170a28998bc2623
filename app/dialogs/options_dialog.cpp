#include "options_dialog.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>
#include <type_traits>

#include "parameter_file.h"

namespace app {

namespace {

QRadioButton* Radio(QWidget* parent, QButtonGroup* group, int code, const char* name, const QString& caption) {
    auto* button = new QRadioButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    group->addButton(button, code);
    return button;
}

QLineEdit* Edit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

// A small group box holding the given radio buttons one below the other.
QGroupBox* RadioBox(const QString& title, std::initializer_list<QWidget*> buttons) {
    auto* box = new QGroupBox(title);
    auto* layout = new QVBoxLayout(box);
    for (QWidget* button : buttons) layout->addWidget(button);
    return box;
}

// Selects the button of `code`, or none when no button has it.
void Select(QButtonGroup* group, int code) {
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons()) button->setChecked(false);
    if (QAbstractButton* button = group->button(code)) button->setChecked(true);
    group->setExclusive(true);
}

QString NotValid(const QString& text, const char* kind) {
    return QCoreApplication::translate("app::OptionsDialog", "'%1' is not a valid %2 value")
        .arg(text, QLatin1String(kind));
}

bool ToInteger(const QString& text, int32_t& value) {
    bool ok = false;
    const int parsed = text.trimmed().toInt(&ok, 10);
    if (ok) value = parsed;
    return ok;
}

// A real number in the syntax of the user's locale (its decimal mark only).
bool ToReal(const QString& text, double& value) {
    const QChar mark = QLatin1Char(params::LocaleDecimalMark());
    QString t = text.trimmed();
    if (mark != QLatin1Char('.')) {
        if (t.contains(QLatin1Char('.'))) return false;
        t.replace(mark, QLatin1Char('.'));
    }
    bool ok = false;
    const double parsed = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

}  // namespace

OptionsDialog::OptionsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("optionsDialog"));
    setWindowTitle(tr("Options"));
    setModal(true);

    jpegWrite_ = new QButtonGroup(this);
    jpegRead_ = new QButtonGroup(this);
    tiffCompression_ = new QButtonGroup(this);
    tiffTrueColour_ = new QButtonGroup(this);
    tiffGreyScale_ = new QButtonGroup(this);
    tiffByteOrder_ = new QButtonGroup(this);
    tiffResolution_ = new QButtonGroup(this);
    auto* pnm = new QButtonGroup(this);

    auto* jpegWritePrecise = Radio(this, jpegWrite_, 0, "jpegWriteIntegerPrecise", tr("Integer, precise"));
    auto* jpegWriteFast = Radio(this, jpegWrite_, 1, "jpegWriteIntegerFast", tr("Integer, fast"));
    auto* jpegWriteFloat = Radio(this, jpegWrite_, 2, "jpegWriteFloat", tr("Floating point"));
    jpegQuality_ = Edit(this, "jpegQuality");
    jpegProgressive_ = new QCheckBox(tr("Progressive"), this);
    jpegProgressive_->setObjectName(QStringLiteral("jpegProgressive"));
    auto* jpegReadPrecise = Radio(this, jpegRead_, 0, "jpegReadIntegerPrecise", tr("Integer, precise"));
    auto* jpegReadFast = Radio(this, jpegRead_, 1, "jpegReadIntegerFast", tr("Integer, fast"));
    auto* jpegReadFloat = Radio(this, jpegRead_, 2, "jpegReadFloat", tr("Floating point"));

    pnmBinary_ = Radio(this, pnm, 1, "pnmBinary", tr("Write binary"));
    pnmAscii_ = Radio(this, pnm, 0, "pnmAscii", tr("Write ASCII"));

    auto* compressionNone = Radio(this, tiffCompression_, 1, "tiffCompressionNone", tr("None"));
    auto* compressionPackBits = Radio(this, tiffCompression_, 32773, "tiffCompressionPackBits", tr("PackBits"));
    auto* rgb = Radio(this, tiffTrueColour_, 0, "tiffRgb", tr("RGB"));
    auto* cmyk = Radio(this, tiffTrueColour_, 1, "tiffCmyk", tr("CMYK"));
    auto* blackIsZero = Radio(this, tiffGreyScale_, 0, "tiffBlackIsZero", tr("BlackIsZero"));
    auto* whiteIsZero = Radio(this, tiffGreyScale_, 1, "tiffWhiteIsZero", tr("WhiteIsZero"));
    auto* intel = Radio(this, tiffByteOrder_, 0, "tiffByteOrderIntel", tr("I (Intel)"));
    auto* motorola = Radio(this, tiffByteOrder_, 1, "tiffByteOrderMotorola", tr("M (Motorola)"));
    auto* noUnit = Radio(this, tiffResolution_, 0, "tiffResolutionNone", tr("No unit"));
    auto* inch = Radio(this, tiffResolution_, 1, "tiffResolutionInch", tr("Inch"));
    auto* centimetre = Radio(this, tiffResolution_, 2, "tiffResolutionCentimetre", tr("Centimeter"));
    horizontalNumerator_ = Edit(this, "tiffHorizontalNumerator");
    horizontalDenominator_ = Edit(this, "tiffHorizontalDenominator");
    verticalNumerator_ = Edit(this, "tiffVerticalNumerator");
    verticalDenominator_ = Edit(this, "tiffVerticalDenominator");

    writeGamma_ = new QCheckBox(tr("Write Gamma"), this);
    writeGamma_->setObjectName(QStringLiteral("writeGamma"));
    screenGamma_ = Edit(this, "screenGamma");
    gammaCorrectionOnRead_ = new QCheckBox(tr("Gamma correction on read"), this);
    gammaCorrectionOnRead_->setObjectName(QStringLiteral("gammaCorrectionOnRead"));

    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    // "JPG"
    auto* jpg = new QGroupBox(tr("JPG"), this);
    auto* writeBox = RadioBox(tr("Write"), {jpegWritePrecise, jpegWriteFast, jpegWriteFloat});
    auto* quality = new QHBoxLayout;
    quality->addWidget(new QLabel(tr("Quality (0...100)")));
    quality->addWidget(jpegQuality_);
    static_cast<QVBoxLayout*>(writeBox->layout())->addLayout(quality);
    auto* jpgLayout = new QGridLayout(jpg);
    jpgLayout->addWidget(writeBox, 0, 0);
    jpgLayout->addWidget(RadioBox(tr("Read"), {jpegReadPrecise, jpegReadFast, jpegReadFloat}), 0, 1);
    jpgLayout->addWidget(jpegProgressive_, 1, 0);

    // "PBM, PGM, PPM"
    auto* pnmBox = new QGroupBox(tr("PBM, PGM, PPM"), this);
    auto* pnmLayout = new QHBoxLayout(pnmBox);
    pnmLayout->addWidget(pnmBinary_);
    pnmLayout->addWidget(pnmAscii_);

    // "TIF"
    auto* tif = new QGroupBox(tr("TIF"), this);
    auto* tifLayout = new QGridLayout(tif);
    tifLayout->addWidget(RadioBox(tr("Write compression"), {compressionNone, compressionPackBits}), 0, 0);
    tifLayout->addWidget(RadioBox(tr("Write true color as "), {rgb, cmyk}), 0, 1);
    tifLayout->addWidget(RadioBox(tr("Grayscale (2, 16, 256)"), {blackIsZero, whiteIsZero}), 1, 0);
    tifLayout->addWidget(RadioBox(tr("Byte order"), {intel, motorola}), 1, 1);
    auto* resolution = RadioBox(tr("Resolution"), {noUnit, inch, centimetre});
    auto* numbers = new QGridLayout;
    numbers->addWidget(new QLabel(tr("Horiz.:")), 0, 0);
    numbers->addWidget(horizontalNumerator_, 0, 1);
    numbers->addWidget(new QLabel(QStringLiteral("/")), 0, 2);
    numbers->addWidget(horizontalDenominator_, 0, 3);
    numbers->addWidget(new QLabel(tr("Vert.:")), 1, 0);
    numbers->addWidget(verticalNumerator_, 1, 1);
    numbers->addWidget(new QLabel(QStringLiteral("/")), 1, 2);
    numbers->addWidget(verticalDenominator_, 1, 3);
    static_cast<QVBoxLayout*>(resolution->layout())->addLayout(numbers);
    tifLayout->addWidget(resolution, 2, 0, 1, 2);

    // "General"
    auto* general = new QGroupBox(tr("General"), this);
    auto* generalLayout = new QGridLayout(general);
    generalLayout->addWidget(writeGamma_, 0, 0);
    generalLayout->addWidget(new QLabel(tr("Screen Gamma")), 1, 0);
    generalLayout->addWidget(screenGamma_, 1, 1);
    generalLayout->addWidget(gammaCorrectionOnRead_, 2, 0, 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    // Two columns, so that the dialog fits a small screen.
    auto* left = new QVBoxLayout;
    left->addWidget(jpg);
    left->addWidget(pnmBox);
    left->addWidget(general);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(tif);
    right->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void OptionsDialog::showOptions(const imaging::ImageFileOptions& o) {
    Select(jpegWrite_, o.JpegWriteMethod);
    jpegQuality_->setText(QString::number(o.JpegQuality));
    jpegProgressive_->setChecked(o.JpegProgressive);
    Select(jpegRead_, o.JpegReadMethod);
    pnmBinary_->setChecked(o.PnmBinary);
    pnmAscii_->setChecked(!o.PnmBinary);
    Select(tiffCompression_, o.TiffCompression);
    Select(tiffTrueColour_, o.TiffTrueColour);
    Select(tiffGreyScale_, o.TiffGreyScale);
    Select(tiffByteOrder_, o.TiffByteOrder);
    Select(tiffResolution_, o.TiffResolutionUnit);
    horizontalNumerator_->setText(QString::number(o.TiffResHorizN));
    horizontalDenominator_->setText(QString::number(o.TiffResHorizD));
    verticalNumerator_->setText(QString::number(o.TiffResVertN));
    verticalDenominator_->setText(QString::number(o.TiffResVertD));
    writeGamma_->setChecked(o.WriteGamma);
    screenGamma_->setText(QString::fromStdString(params::FormatReal(o.ScreenGamma, params::LocaleDecimalMark())));
    gammaCorrectionOnRead_->setChecked(o.GammaCorrectionOnRead);
}

bool OptionsDialog::storeTo(imaging::ImageFileOptions& o, const std::function<void(const QString&)>& report) const {
    // A group with no selection keeps its code.
    const auto code = [](const QButtonGroup* group, auto& field) {
        const int id = group->checkedId();
        if (id != -1) field = static_cast<std::remove_reference_t<decltype(field)>>(id);
    };
    const auto integer = [&report](const QLineEdit* edit, int32_t& value) {
        if (ToInteger(edit->text(), value)) return true;
        report(NotValid(edit->text(), "integer"));
        return false;
    };

    code(jpegWrite_, o.JpegWriteMethod);
    int32_t quality = 0;
    if (!integer(jpegQuality_, quality)) return false;
    o.JpegQuality = static_cast<uint8_t>(static_cast<uint32_t>(quality) & 0xFFu);
    o.JpegProgressive = jpegProgressive_->isChecked();
    code(jpegRead_, o.JpegReadMethod);
    o.PnmBinary = pnmBinary_->isChecked();
    code(tiffCompression_, o.TiffCompression);
    code(tiffByteOrder_, o.TiffByteOrder);
    code(tiffTrueColour_, o.TiffTrueColour);
    code(tiffGreyScale_, o.TiffGreyScale);
    code(tiffResolution_, o.TiffResolutionUnit);
    if (!integer(horizontalNumerator_, o.TiffResHorizN)) return false;
    if (!integer(horizontalDenominator_, o.TiffResHorizD)) return false;
    if (!integer(verticalNumerator_, o.TiffResVertN)) return false;
    if (!integer(verticalDenominator_, o.TiffResVertD)) return false;
    o.WriteGamma = writeGamma_->isChecked();
    double gamma = 0.0;
    if (!ToReal(screenGamma_->text(), gamma)) {
        report(NotValid(screenGamma_->text(), "floating point"));
        return false;
    }
    o.ScreenGamma = gamma;
    o.GammaCorrectionOnRead = gammaCorrectionOnRead_->isChecked();
    return true;
}

}  // namespace app

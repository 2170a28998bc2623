#include "options_dialog.h"

#include <QButtonGroup>
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

namespace {

QRadioButton* Radio(QWidget* parent, QButtonGroup* group, int code, const char* name,
                    const char* caption) {
    auto* button = new QRadioButton(QLatin1String(caption), parent);
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
QGroupBox* RadioBox(const char* title, std::initializer_list<QWidget*> buttons) {
    auto* box = new QGroupBox(QLatin1String(title));
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
    return QStringLiteral("'%1' is not a valid %2 value").arg(text, QLatin1String(kind));
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

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Options"));
    setModal(true);

    jpegWrite_ = new QButtonGroup(this);
    jpegRead_ = new QButtonGroup(this);
    tiffCompression_ = new QButtonGroup(this);
    tiffTrueColour_ = new QButtonGroup(this);
    tiffGreyScale_ = new QButtonGroup(this);
    tiffByteOrder_ = new QButtonGroup(this);
    tiffResolution_ = new QButtonGroup(this);
    auto* pxm = new QButtonGroup(this);

    JPEGWIntPreciseRB = Radio(this, jpegWrite_, 0, "JPEGWIntPreciseRB", "Integer, precise");
    JPEGWIntFastRB = Radio(this, jpegWrite_, 1, "JPEGWIntFastRB", "Integer, fast");
    JPEGWFloatRB = Radio(this, jpegWrite_, 2, "JPEGWFloatRB", "Floating point");
    JPEGWQualityEdit = Edit(this, "JPEGWQualityEdit");
    JPEGWProgressiveCB = new QCheckBox(QStringLiteral("Progressive"), this);
    JPEGWProgressiveCB->setObjectName(QStringLiteral("JPEGWProgressiveCB"));
    JPEGRIntPreciseRB = Radio(this, jpegRead_, 0, "JPEGRIntPreciseRB", "Integer, precise");
    JPEGRIntFastRB = Radio(this, jpegRead_, 1, "JPEGRIntFastRB", "Integer, fast");
    JPEGRFloatRB = Radio(this, jpegRead_, 2, "JPEGRFloatRB", "Floating point");

    PXMBinaryRB = Radio(this, pxm, 1, "PXMBinaryRB", "Write binary");
    PXMASCIIRB = Radio(this, pxm, 0, "PXMASCIIRB", "Write ASCII");

    TIFFCompNoneRB = Radio(this, tiffCompression_, 1, "TIFFCompNoneRB", "None");
    TIFFCompPackBitsRB = Radio(this, tiffCompression_, 32773, "TIFFCompPackBitsRB", "PackBits");
    TIFFRGBRB = Radio(this, tiffTrueColour_, 0, "TIFFRGBRB", "RGB");
    TIFFCMYKRB = Radio(this, tiffTrueColour_, 1, "TIFFCMYKRB", "CMYK");
    TIFFBlackIsZeroRB = Radio(this, tiffGreyScale_, 0, "TIFFBlackIsZeroRB", "BlackIsZero");
    TIFFWhiteIsZeroRB = Radio(this, tiffGreyScale_, 1, "TIFFWhiteIsZeroRB", "WhiteIsZero");
    TIFFByteOrderIRB = Radio(this, tiffByteOrder_, 0, "TIFFByteOrderIRB", "I (Intel)");
    TIFFByteOrderMRB = Radio(this, tiffByteOrder_, 1, "TIFFByteOrderMRB", "M (Motorola)");
    TIFFResNoneRB = Radio(this, tiffResolution_, 0, "TIFFResNoneRB", "No unit");
    TIFFResInchRB = Radio(this, tiffResolution_, 1, "TIFFResInchRB", "Inch");
    TIFFResCentimeterRB = Radio(this, tiffResolution_, 2, "TIFFResCentimeterRB", "Centimeter");
    TIFFResHorizNEdit = Edit(this, "TIFFResHorizNEdit");
    TIFFResHorizDEdit = Edit(this, "TIFFResHorizDEdit");
    TIFFResVertNEdit = Edit(this, "TIFFResVertNEdit");
    TIFFResVertDEdit = Edit(this, "TIFFResVertDEdit");

    WriteGammaCB = new QCheckBox(QStringLiteral("Write Gamma"), this);
    WriteGammaCB->setObjectName(QStringLiteral("WriteGammaCB"));
    ScreenGammaEdit = Edit(this, "ScreenGammaEdit");
    GammaCorrectionOnReadCB = new QCheckBox(QStringLiteral("Gamma correction on read"), this);
    GammaCorrectionOnReadCB->setObjectName(QStringLiteral("GammaCorrectionOnReadCB"));

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    // "JPG"
    auto* jpg = new QGroupBox(QStringLiteral("JPG"), this);
    auto* writeBox = RadioBox("Write", {JPEGWIntPreciseRB, JPEGWIntFastRB, JPEGWFloatRB});
    auto* quality = new QHBoxLayout;
    quality->addWidget(new QLabel(QStringLiteral("Quality (0...100)")));
    quality->addWidget(JPEGWQualityEdit);
    static_cast<QVBoxLayout*>(writeBox->layout())->addLayout(quality);
    auto* jpgLayout = new QGridLayout(jpg);
    jpgLayout->addWidget(writeBox, 0, 0);
    jpgLayout->addWidget(RadioBox("Read", {JPEGRIntPreciseRB, JPEGRIntFastRB, JPEGRFloatRB}), 0, 1);
    jpgLayout->addWidget(JPEGWProgressiveCB, 1, 0);

    // "PBM, PGM, PPM"
    auto* pnm = new QGroupBox(QStringLiteral("PBM, PGM, PPM"), this);
    auto* pnmLayout = new QHBoxLayout(pnm);
    pnmLayout->addWidget(PXMBinaryRB);
    pnmLayout->addWidget(PXMASCIIRB);

    // "TIF"
    auto* tif = new QGroupBox(QStringLiteral("TIF"), this);
    auto* tifLayout = new QGridLayout(tif);
    tifLayout->addWidget(RadioBox("Write compression", {TIFFCompNoneRB, TIFFCompPackBitsRB}), 0, 0);
    tifLayout->addWidget(RadioBox("Write true color as ", {TIFFRGBRB, TIFFCMYKRB}), 0, 1);
    tifLayout->addWidget(RadioBox("Grayscale (2, 16, 256)", {TIFFBlackIsZeroRB, TIFFWhiteIsZeroRB}), 1, 0);
    tifLayout->addWidget(RadioBox("Byte order", {TIFFByteOrderIRB, TIFFByteOrderMRB}), 1, 1);
    auto* resolution = RadioBox("Resolution", {TIFFResNoneRB, TIFFResInchRB, TIFFResCentimeterRB});
    auto* numbers = new QGridLayout;
    numbers->addWidget(new QLabel(QStringLiteral("Horiz.:")), 0, 0);
    numbers->addWidget(TIFFResHorizNEdit, 0, 1);
    numbers->addWidget(new QLabel(QStringLiteral("/")), 0, 2);
    numbers->addWidget(TIFFResHorizDEdit, 0, 3);
    numbers->addWidget(new QLabel(QStringLiteral("Vert.:")), 1, 0);
    numbers->addWidget(TIFFResVertNEdit, 1, 1);
    numbers->addWidget(new QLabel(QStringLiteral("/")), 1, 2);
    numbers->addWidget(TIFFResVertDEdit, 1, 3);
    static_cast<QVBoxLayout*>(resolution->layout())->addLayout(numbers);
    tifLayout->addWidget(resolution, 2, 0, 1, 2);

    // "General"
    auto* general = new QGroupBox(QStringLiteral("General"), this);
    auto* generalLayout = new QGridLayout(general);
    generalLayout->addWidget(WriteGammaCB, 0, 0);
    generalLayout->addWidget(new QLabel(QStringLiteral("Screen Gamma")), 1, 0);
    generalLayout->addWidget(ScreenGammaEdit, 1, 1);
    generalLayout->addWidget(GammaCorrectionOnReadCB, 2, 0, 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(jpg);
    layout->addWidget(pnm);
    layout->addWidget(tif);
    layout->addWidget(general);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TForm2::LoadFrom(const imaging::ImageFileOptions& o) {
    Select(jpegWrite_, o.JpegWriteMethod);
    JPEGWQualityEdit->setText(QString::number(o.JpegQuality));
    JPEGWProgressiveCB->setChecked(o.JpegProgressive);
    Select(jpegRead_, o.JpegReadMethod);
    PXMBinaryRB->setChecked(o.PnmBinary);
    PXMASCIIRB->setChecked(!o.PnmBinary);
    Select(tiffCompression_, o.TiffCompression);
    Select(tiffTrueColour_, o.TiffTrueColour);
    Select(tiffGreyScale_, o.TiffGreyScale);
    Select(tiffByteOrder_, o.TiffByteOrder);
    Select(tiffResolution_, o.TiffResolutionUnit);
    TIFFResHorizNEdit->setText(QString::number(o.TiffResHorizN));
    TIFFResHorizDEdit->setText(QString::number(o.TiffResHorizD));
    TIFFResVertNEdit->setText(QString::number(o.TiffResVertN));
    TIFFResVertDEdit->setText(QString::number(o.TiffResVertD));
    WriteGammaCB->setChecked(o.WriteGamma);
    ScreenGammaEdit->setText(
        QString::fromStdString(params::FormatReal(o.ScreenGamma, params::LocaleDecimalMark())));
    GammaCorrectionOnReadCB->setChecked(o.GammaCorrectionOnRead);
}

bool TForm2::StoreTo(imaging::ImageFileOptions& o,
                     const std::function<void(const QString&)>& report) const {
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
    if (!integer(JPEGWQualityEdit, quality)) return false;
    o.JpegQuality = static_cast<uint8_t>(static_cast<uint32_t>(quality) & 0xFFu);
    o.JpegProgressive = JPEGWProgressiveCB->isChecked();
    code(jpegRead_, o.JpegReadMethod);
    o.PnmBinary = PXMBinaryRB->isChecked();
    code(tiffCompression_, o.TiffCompression);
    code(tiffByteOrder_, o.TiffByteOrder);
    code(tiffTrueColour_, o.TiffTrueColour);
    code(tiffGreyScale_, o.TiffGreyScale);
    code(tiffResolution_, o.TiffResolutionUnit);
    if (!integer(TIFFResHorizNEdit, o.TiffResHorizN)) return false;
    if (!integer(TIFFResHorizDEdit, o.TiffResHorizD)) return false;
    if (!integer(TIFFResVertNEdit, o.TiffResVertN)) return false;
    if (!integer(TIFFResVertDEdit, o.TiffResVertD)) return false;
    o.WriteGamma = WriteGammaCB->isChecked();
    double gamma = 0.0;
    if (!ToReal(ScreenGammaEdit->text(), gamma)) {
        report(NotValid(ScreenGammaEdit->text(), "floating point"));
        return false;
    }
    o.ScreenGamma = gamma;
    o.GammaCorrectionOnRead = GammaCorrectionOnReadCB->isChecked();
    return true;
}

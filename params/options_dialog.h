// "Options": the image readers' and writers' options, edited modally.
#pragma once

#include <QDialog>
#include <functional>

#include "image_options.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    // Shows the options: each radio group selects the button of the option's
    // code (none for a code outside the group).
    void LoadFrom(const imaging::ImageFileOptions& options);

    // Stores the dialog back in the fixed order. An edit whose text is not a
    // number is reported through `report` and ends the storing: the options
    // stored before it keep their new values. Returns whether all were stored.
    bool StoreTo(imaging::ImageFileOptions& options,
                 const std::function<void(const QString&)>& report) const;

    QRadioButton* JPEGWIntPreciseRB;
    QRadioButton* JPEGWIntFastRB;
    QRadioButton* JPEGWFloatRB;
    QLineEdit* JPEGWQualityEdit;
    QCheckBox* JPEGWProgressiveCB;
    QRadioButton* JPEGRIntPreciseRB;
    QRadioButton* JPEGRIntFastRB;
    QRadioButton* JPEGRFloatRB;
    QRadioButton* PXMBinaryRB;
    QRadioButton* PXMASCIIRB;
    QRadioButton* TIFFCompNoneRB;
    QRadioButton* TIFFCompPackBitsRB;
    QRadioButton* TIFFRGBRB;
    QRadioButton* TIFFCMYKRB;
    QRadioButton* TIFFBlackIsZeroRB;
    QRadioButton* TIFFWhiteIsZeroRB;
    QRadioButton* TIFFByteOrderIRB;
    QRadioButton* TIFFByteOrderMRB;
    QRadioButton* TIFFResNoneRB;
    QRadioButton* TIFFResInchRB;
    QRadioButton* TIFFResCentimeterRB;
    QLineEdit* TIFFResHorizNEdit;
    QLineEdit* TIFFResHorizDEdit;
    QLineEdit* TIFFResVertNEdit;
    QLineEdit* TIFFResVertDEdit;
    QCheckBox* WriteGammaCB;
    QLineEdit* ScreenGammaEdit;
    QCheckBox* GammaCorrectionOnReadCB;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    QButtonGroup* jpegWrite_;
    QButtonGroup* jpegRead_;
    QButtonGroup* tiffCompression_;
    QButtonGroup* tiffTrueColour_;
    QButtonGroup* tiffGreyScale_;
    QButtonGroup* tiffByteOrder_;
    QButtonGroup* tiffResolution_;
};

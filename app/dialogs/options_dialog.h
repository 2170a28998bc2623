// "Options": the image readers' and writers' options, edited modally.
#pragma once

#include <QDialog>
#include <functional>

#include "image_options.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace app {

class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit OptionsDialog(QWidget* parent = nullptr);

    // Shows the options: each radio group selects the button of the option's
    // code (none for a code outside the group).
    void showOptions(const imaging::ImageFileOptions& options);

    // Stores the dialog back in the fixed order. An edit whose text is not a
    // number is reported through `report` and ends the storing: the options
    // stored before it keep their new values. Returns whether all were stored.
    bool storeTo(imaging::ImageFileOptions& options, const std::function<void(const QString&)>& report) const;

private:
    QButtonGroup* jpegWrite_;
    QButtonGroup* jpegRead_;
    QButtonGroup* tiffCompression_;
    QButtonGroup* tiffTrueColour_;
    QButtonGroup* tiffGreyScale_;
    QButtonGroup* tiffByteOrder_;
    QButtonGroup* tiffResolution_;
    QLineEdit* jpegQuality_;
    QCheckBox* jpegProgressive_;
    QRadioButton* pnmBinary_;
    QRadioButton* pnmAscii_;
    QLineEdit* horizontalNumerator_;
    QLineEdit* horizontalDenominator_;
    QLineEdit* verticalNumerator_;
    QLineEdit* verticalDenominator_;
    QCheckBox* writeGamma_;
    QLineEdit* screenGamma_;
    QCheckBox* gammaCorrectionOnRead_;
};

}  // namespace app

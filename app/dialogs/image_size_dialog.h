// "XYSize": a modeless tool window with the image width and height and a
// "Size" menu of common sizes; "Apply" hands the size to the main window.
#pragma once

#include <QDialog>

class QPushButton;
class QSpinBox;

namespace app {

class ImageSizeDialog : public QDialog {
    Q_OBJECT
public:
    explicit ImageSizeDialog(QWidget* parent = nullptr);

    void setImageSize(int width, int height);
    int imageWidth() const;
    int imageHeight() const;

signals:
    // "Apply": the main window applies the size.
    void applyClicked();

private:
    QSpinBox* width_;
    QSpinBox* height_;
    QPushButton* apply_;
};

}  // namespace app

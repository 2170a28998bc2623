// "XYSize": a modeless tool window with the image width and height and a
// "Size" menu of common sizes; "Apply" hands the size to the main window.
#pragma once

#include <QDialog>

class QCheckBox;
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
    // Shows whether the picture fits the window, without signalling.
    void setFitToWindow(bool on);
    bool fitToWindow() const;

signals:
    // "Apply": the main window applies the size.
    void applyClicked();
    // The user turned Fit to window on or off.
    void fitToggled(bool on);

private:
    QCheckBox* fit_;
    QSpinBox* width_;
    QSpinBox* height_;
    QPushButton* apply_;
};

}  // namespace app

// "XYSize": a modeless tool window with the image width and height and a
// "Size" menu of common sizes; "Apply" hands the size to the main window.
#pragma once

#include <QDialog>

class QMenu;
class QMenuBar;
class QPushButton;
class QSpinBox;

class TXYSize : public QDialog {
    Q_OBJECT
public:
    explicit TXYSize(QWidget* parent = nullptr);

    void SetSize(int width, int height);
    int WidthValue() const;
    int HeightValue() const;

    QSpinBox* RxWidth;
    QSpinBox* RxHeight;
    QPushButton* RxSpeedButton1;
    QMenuBar* SizeMenuBar;
    QMenu* Size1;

signals:
    // "Apply": the main window applies the size (TP01Click).
    void ApplyClicked();
};

// "Export Picture": the size, the samples per pixel and the file of a
// picture computed in the background at any size.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QComboBox;
class QLineEdit;
class QSpinBox;

namespace app {

struct ExportChoice {
    int width = 0;
    int height = 0;
    int factor = 1;  // samples per pixel in each direction
    QString path;
};

class ExportDialog : public QDialog {
    Q_OBJECT
public:
    explicit ExportDialog(QWidget* parent = nullptr);

    // Asks for a file name ("" when cancelled): the main window's save dialog.
    std::function<QString(const QString& proposed)> chooseFile;

    // The picture's size times four, 2 by 2 samples, and the proposed file.
    void propose(int pictureWidth, int pictureHeight, const QString& path);
    // The choice of an earlier export, proposed again.
    void proposeAgain(int width, int height, int samples, const QString& path);
    ExportChoice choice() const;

private:
    void browse();

    QSpinBox* width_;
    QSpinBox* height_;
    QComboBox* samples_;
    QLineEdit* path_;
};

}  // namespace app

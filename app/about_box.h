// "About": the product, its version and what is known of the picture last
// set up.
#pragma once

#include <QDialog>

#include "image_file.h"

class QLabel;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    // "Valid Info" shows the file name; the other rows the image information.
    void SetInfo(const QString& fileName, const imaging::ImageInfo& info);

    // The value label of a row ("Valid Info", "Type", ... "GraphicCount").
    QLabel* Value(const QString& row) const;

private:
    QList<QLabel*> values_;
};

// "About": the product, its version and what is known of the picture last
// set up.
#pragma once

#include <QDialog>
#include <QList>

#include "image_file.h"

class QLabel;

namespace app {

class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);

    // "Valid Info" shows the file name; the other rows the image information.
    void setInfo(const QString& fileName, const imaging::ImageInfo& info);

    // The value shown in a row ("Valid Info", "Type", ... "GraphicCount").
    QString valueText(const QString& row) const;

private:
    QList<QLabel*> values_;
};

}  // namespace app

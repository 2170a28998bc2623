// A flat push button (the dialogs' "Apply") that shows keyboard focus: the
// style draws no focus frame on flat buttons, so this one adds it.
#pragma once

#include <QPushButton>

namespace app {

class FlatButton : public QPushButton {
public:
    FlatButton(const QString& text, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace app

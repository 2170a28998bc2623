// Runs an action whenever the mouse pointer leaves a widget, without the
// widget's own code knowing of it.
#pragma once

#include <QWidget>
#include <functional>

namespace app {

void OnPointerLeave(QWidget* widget, std::function<void()> action);

}  // namespace app

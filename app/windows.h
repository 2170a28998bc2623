// Creating the program's windows in their start-up order.
#pragma once

#include <memory>

#include "main_window.h"

namespace app {

// The main window first (its creation binds the plug-in and arms the
// start-up timer), then the about box, "Parameters", "Color Mixing
// Controls", "XYSize" and "Options", all owned by the main window.
std::unique_ptr<TForm1> CreateWindows(TForm1Setup setup = {});

}  // namespace app

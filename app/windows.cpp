#include "windows.h"

#include "about_box.h"
#include "colour_mixing_dialog.h"
#include "options_dialog.h"
#include "parameters_dialog.h"
#include "xy_size_dialog.h"

namespace app {

std::unique_ptr<TForm1> CreateWindows(TForm1Setup setup) {
    auto form1 = std::make_unique<TForm1>(std::move(setup));
    auto* aboutBox = new TAboutBox(form1.get());
    auto* form4 = new TForm4(form1.get());
    auto* form3 = new TForm3(form1.get());
    auto* xySize = new TXYSize(form1.get());
    auto* form2 = new TForm2(form1.get());
    form1->AttachWindows(aboutBox, form4, form3, xySize, form2);
    return form1;
}

}  // namespace app

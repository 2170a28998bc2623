#include "image_options.h"

namespace imaging {

ImageFileOptions& Options() {
    static ImageFileOptions options;
    return options;
}

}  // namespace imaging

#include "picture_files.h"

#include "image_file.h"

namespace params {

std::string SavePictureWithSettings(const imaging::Picture& picture, const std::string& path,
                                    const SettingsRecord& settings) {
    (void)settings;
    return imaging::SaveImageFile(picture, path);
}

bool IsPictureFile(const std::string& path) { return imaging::CanLoad(path); }

std::optional<SettingsRecord> ReadSettingsFromPicture(const std::string& path, std::string& error) {
    error = "The picture " + path + " carries no halvane settings";
    return std::nullopt;
}

}  // namespace params

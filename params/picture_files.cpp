#include "picture_files.h"

#include "image_file.h"

namespace params {

std::string SavePictureWithSettings(const imaging::Picture& picture, const std::string& path,
                                    const SettingsRecord& settings) {
    return imaging::SaveImageFile(picture, path, SettingsComment(settings));
}

bool IsPictureFile(const std::string& path) { return imaging::CanLoad(path); }

std::optional<SettingsRecord> ReadSettingsFromPicture(const std::string& path, std::string& error) {
    std::string comment;
    error = imaging::ReadImageComment(path, comment);
    if (!error.empty()) return std::nullopt;
    std::optional<SettingsRecord> record = SettingsFromComment(comment);
    if (!record) error = path + ": the picture carries no halvane settings";
    return record;
}

}  // namespace params

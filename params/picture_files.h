// Pictures that carry their settings: PNG, JPEG and TIFF files hold the
// settings record in a comment, which the reader of settings accepts as well
// as a parameter file.
#pragma once

#include <optional>
#include <string>

#include "picture.h"
#include "settings_record.h"

namespace params {

// Saves the picture with its settings in a comment where the format has one
// (PNG, JPEG, TIFF), as SaveImageFile saves it; "" or why it failed.
[[nodiscard]] std::string SavePictureWithSettings(const imaging::Picture& picture, const std::string& path,
                                                  const SettingsRecord& settings);

// Whether the file's name is that of a picture format the readers know.
bool IsPictureFile(const std::string& path);

// The settings a picture carries. None, with `error` saying why, for a
// file that cannot be read or a picture that carries none.
std::optional<SettingsRecord> ReadSettingsFromPicture(const std::string& path, std::string& error);

}  // namespace params

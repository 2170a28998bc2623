#include "frame_record.h"

#include <mutex>
#include <set>

#include "parameter_file.h"

namespace params {

const char* KeptName(const char* name) {
    static std::mutex guard;
    static std::set<std::string> kept;
    const std::lock_guard<std::mutex> lock(guard);
    return kept.insert(name).first->c_str();
}

SettingsRecord RecordPicture(const RecordedPicture& picture) {
    SettingsRecord record = RecordSettings(picture.settings, picture.view);
    record.samples = picture.samples;
    return record;
}

LoadOutcome RestorePicture(const SettingsRecord& record, RecordedPicture& picture, engine::MessageSink& messages,
                           const std::string& name) {
    bool paramsValid = true;
    int32_t lastFormulaNo = 0;
    NameBuffers names;
    picture.view = engine::ExactView{};
    picture.samples = 1;
    const LoadOutcome outcome = RestoreSettings(
        record, {picture.settings, paramsValid, lastFormulaNo, names, &picture.view, &picture.samples}, messages,
        name);
    picture.settings.FormulaName = KeptName(names.FormulaNameBuffer);
    picture.settings.RenderName = KeptName(names.RenderNameBuffer);
    return outcome;
}

}  // namespace params

// Feeds arbitrary bytes to the parameter-file reader. Besides crashes and
// undefined behaviour it checks that whatever was loaded, once written,
// loads again without a message and writes the very same text, its
// extension lines (the exact view) included.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "parameter_file.h"

namespace {

class CountingSink : public engine::MessageSink {
public:
    void ShowMessage(const std::string& text, const std::string& /*title*/) override {
        if (text.empty()) std::abort();
        ++count;
    }
    int count = 0;
};

struct Settings {
    TIterationContext ctx{};
    bool ParamsValid = false;
    int32_t LastFormulaNo = 0;
    params::NameBuffers names;
    params::LoadTarget Target() { return {ctx, ParamsValid, LastFormulaNo, names}; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string path = "fuzz.vtx";

    Settings first;
    CountingSink sink;
    const TIterationContext untouched = first.ctx;
    const params::LoadOutcome outcome = params::LoadParametersFromText(text, path, first.Target(), sink);
    if (outcome == params::LoadOutcome::CannotOpen) std::abort();
    // A view that is not a finite number refuses the file: one message, nothing changed.
    if (outcome == params::LoadOutcome::Refused) {
        if (sink.count != 1 || std::memcmp(&untouched, &first.ctx, sizeof untouched) != 0) std::abort();
        return 0;
    }
    if (!first.ParamsValid) std::abort();
    if (outcome == params::LoadOutcome::Loaded && first.ctx.BlendNo > 26) std::abort();

    const char mark = size > 0 && data[0] % 2 ? ',' : '.';
    const std::string written = params::ParameterFileText(first.ctx, mark);
    Settings second;
    CountingSink quiet;
    if (params::LoadParametersFromText(written, path, second.Target(), quiet) !=
            params::LoadOutcome::Loaded ||
        quiet.count != 0) {
        std::abort();
    }
    if (params::ParameterFileText(second.ctx, mark) != written) std::abort();
    return 0;
}

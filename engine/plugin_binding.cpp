#include "plugin_binding.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace engine {

namespace fs = std::filesystem;

PluginInstance::~PluginInstance() {
    if (handle_ != nullptr) dlclose(handle_);
}

std::string PluginInstance::LoadedPath() const {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(formula_), &info) != 0 && info.dli_fname != nullptr) {
        return info.dli_fname;
    }
    return {};
}

std::unique_ptr<PluginInstance> LoadPluginInstance(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return nullptr;
    auto total = reinterpret_cast<TotalEntryFn>(dlsym(handle, "_total"));
    auto formula = reinterpret_cast<FormulaEntryFn>(dlsym(handle, "_formula"));
    if (total == nullptr || formula == nullptr) {
        // A library without both entry points is no plug-in of ours.
        dlclose(handle);
        return nullptr;
    }
    return std::make_unique<PluginInstance>(handle, total, formula);
}

std::unique_ptr<PluginInstance> LoadPrivateCopy(const std::string& path) {
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    if (error) return nullptr;
    std::string pattern = (base / "halvane-plugin-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return nullptr;
    const fs::path folder = pattern;
    const fs::path copy = folder / kPluginFileName;
    std::unique_ptr<PluginInstance> instance;
    if (fs::copy_file(path, copy, error) && !error) instance = LoadPluginInstance(copy.string());
    // The loaded image stays mapped; the file and folder are not needed any more.
    fs::remove_all(folder, error);
    return instance;
}

std::vector<std::string> DefaultPluginFolders() {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const fs::path folder = exe.parent_path();
    return {folder.string(), (folder / ".." / "lib" / "halvane").lexically_normal().string()};
}

PluginBinding BindPlugin(TIterationContext& ctx, MessageSink& messages,
                            const std::vector<std::string>& folders, const std::string& fileName) {
    PluginBinding binding;
    for (const std::string& folder : folders) {
        const fs::path candidate = fs::path(folder) / fileName;
        std::error_code error;
        if (!fs::exists(candidate, error)) continue;
        binding.instance = LoadPluginInstance(candidate.string());
        if (binding.instance) break;
    }
    if (!binding.instance) binding.instance = LoadPluginInstance(fileName);
    if (!binding.instance) {
        messages.ShowMessage("Error loading DLL: " + fileName, "ERROR");
        return binding;
    }
    ctx.FormulaNo = binding.instance->TotalEntry()();
    if (ctx.FormulaNo == 0) messages.ShowMessage("Error, Total formula = 0");
    return binding;
}

}  // namespace engine

// Binding the formula plug-in and making private instances of it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "iteration_context.h"
#include "messages.h"

namespace engine {

using TotalEntryFn = int32_t (*)();
using FormulaEntryFn = void (*)(TIterationContext*);

constexpr const char* kPluginFileName = "vantrix01.so";

// One loaded copy of the plug-in. `_formula` keeps working state inside its
// library, so each thread that iterates needs an instance of its own.
class PluginInstance {
public:
    PluginInstance(void* handle, TotalEntryFn total, FormulaEntryFn formula)
        : handle_(handle), total_(total), formula_(formula) {}
    ~PluginInstance();
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    TotalEntryFn TotalEntry() const { return total_; }
    FormulaEntryFn FormulaEntry() const { return formula_; }
    // The file the instance was loaded from (empty if unknown).
    std::string LoadedPath() const;

private:
    void* handle_;
    TotalEntryFn total_;
    FormulaEntryFn formula_;
};

// Loads `path` (a bare name uses the normal library search) and resolves
// both exports; null when the file cannot be loaded or lacks either export.
std::unique_ptr<PluginInstance> LoadPluginInstance(const std::string& path);

// Loads a private copy of the library at `path`: the file is copied to a
// fresh temporary folder, loaded, and the copy removed again at once (the
// loaded image stays mapped). Null when that cannot be done.
std::unique_ptr<PluginInstance> LoadPrivateCopy(const std::string& path);

// The folders searched before the normal library search: the executable's
// own folder, then ../lib/halvane beside it (the installed layout).
std::vector<std::string> DefaultPluginFolders();

struct PluginBinding {
    std::unique_ptr<PluginInstance> instance;
    bool Bound() const { return instance != nullptr; }
};

// The binding done once while the main window is created. Tries each folder
// of `folders` in turn, then the bare file name. A missing library (or one
// lacking an export) shows "Error loading DLL: vantrix01.so" with the title
// "ERROR" and leaves the binding empty; `_total` returning 0 shows
// "Error, Total formula = 0" and binding goes on. `_total`'s result is
// stored in `FormulaNo`.
PluginBinding BindPlugin(TIterationContext& ctx, MessageSink& messages,
                            const std::vector<std::string>& folders = DefaultPluginFolders(),
                            const std::string& fileName = kPluginFileName);

}  // namespace engine

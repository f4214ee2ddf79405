#include "lumapix/plugin_host.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace lumapix {

namespace {

// The refresh callback has no arguments, so the redisplay of the running
// Execute is reached through this pointer. Plug-ins run on the UI thread only.
const std::function<void()>* activeRefresh = nullptr;

void RefreshTrampoline() {
    if (activeRefresh && *activeRefresh) (*activeRefresh)();
}

// Sets the redisplay for the length of one plug-in call; a refresh kept and
// called later by a misbehaving plug-in then does nothing.
class RefreshScope {
public:
    explicit RefreshScope(const std::function<void()>& refresh) : previous_(activeRefresh) {
        activeRefresh = &refresh;
    }
    ~RefreshScope() { activeRefresh = previous_; }
    RefreshScope(const RefreshScope&) = delete;
    RefreshScope& operator=(const RefreshScope&) = delete;

private:
    const std::function<void()>* previous_;
};

template <typename Fn>
Fn Symbol(void* module, const char* name) {
    return reinterpret_cast<Fn>(dlsym(module, name));
}

}  // namespace

PluginHost::~PluginHost() { UnloadAll(); }

void PluginHost::UnloadAll() {
    for (const Plugin& plugin : plugins_) dlclose(plugin.module);
    plugins_.clear();
}

int PluginHost::LoadAll(const std::string& folder) {
    UnloadAll();
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        std::error_code typeError;
        if (name.size() > 3 && name.ends_with(".so") && it->is_regular_file(typeError)) files.push_back(name);
    }
    // Directory order on Linux is arbitrary; sorting keeps the menu stable.
    std::sort(files.begin(), files.end());

    for (const std::string& file : files) {
        if (Count() == kMaxPlugins) break;
        std::string path = (fs::path(folder) / file).string();
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) continue;
        Plugin plugin{};
        plugin.module = module;
        plugin.info = Symbol<XrPluginInfoFn>(module, "XrPluginInfo");
        plugin.query = Symbol<XrPluginQueryFn>(module, "XrPluginQuery");
        plugin.exec = Symbol<XrPluginExecFn>(module, "XrPluginExec");
        if (!plugin.info || !plugin.query || !plugin.exec) {
            dlclose(module);
            continue;
        }
        plugins_.push_back(plugin);
    }

    for (Plugin& plugin : plugins_) {
        plugin.info(plugin.name);
        plugin.name[XR_PLUGIN_NAME_SIZE - 1] = '\0';
    }
    return Count();
}

const char* PluginHost::Name(int i) const {
    return i >= 0 && i < Count() ? plugins_[static_cast<size_t>(i)].name : "";
}

bool PluginHost::Enabled(int i, const XrImage* image) const {
    return image && i >= 0 && i < Count() && plugins_[static_cast<size_t>(i)].query(image) == 0;
}

int32_t PluginHost::Execute(int i, XrImage& image, XrImage& undo, void* owner,
                            const std::function<void()>& refresh) {
    if (i < 0 || i >= Count()) return XR_ERR_ARGUMENT;
    XrPluginParams params{owner, RefreshTrampoline, XrImage{}};
    if (ImageCopy(&params.saved, &image) != XR_OK) return XR_ERR_INTERNAL;

    int32_t status;
    {
        RefreshScope scope(refresh);
        status = plugins_[static_cast<size_t>(i)].exec(&image, &params);
    }
    if (status == 0) {
        ImageFree(&undo);
        undo = params.saved;
    } else {
        ImageFree(&image);  // whatever the plug-in left, possibly reallocated
        image = params.saved;
    }
    return status;
}

std::string PluginHost::ListText() const {
    std::string text;
    char number[32];
    for (int i = 0; i < Count(); ++i) {
        std::snprintf(number, sizeof number, "Plugin no [%3d]\r\n", i);
        text += number;
        text += "  name = ";
        text += Name(i);
        text += "\r\n";
    }
    return text;
}

std::string ProgramFolder() {
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : program.parent_path().string();
}

std::string DefaultPluginFolder() {
    std::string folder = ProgramFolder();
    return folder.empty() ? folder : folder + "/plg_filter";
}

}  // namespace lumapix

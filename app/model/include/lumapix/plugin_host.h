// Filter plug-ins: shared objects loaded once from one folder, each offered as
// one image command. Qt-free; the viewer builds its menu from Count() and
// Name() and passes its own window and redisplay to Execute().
#ifndef LUMAPIX_PLUGIN_HOST_H
#define LUMAPIX_PLUGIN_HOST_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lumapix/xr_image.h"
#include "lumapix/xr_plugin.h"

namespace lumapix {

constexpr int kMaxPlugins = 256;

class PluginHost {
public:
    PluginHost() = default;
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;
    ~PluginHost();  // unloads the libraries

    // Loads every *.so in folder that exports all three functions, in file-name
    // order, at most kMaxPlugins, and asks each for its name. Libraries that do
    // not load or lack an export are skipped silently. Replaces what an earlier
    // call loaded. Returns the number loaded.
    int LoadAll(const std::string& folder);

    int Count() const { return static_cast<int>(plugins_.size()); }
    // Display name of plug-in i; "" out of range.
    const char* Name(int i) const;
    // Whether plug-in i may run: there is an image and its query returns 0.
    bool Enabled(int i, const XrImage* image) const;

    // Runs plug-in i on image. On success the image as it was becomes undo (the
    // old undo is freed); on failure image is restored and undo is untouched.
    // refresh is what the plug-in's refresh callback runs; it may be empty.
    // Returns the plug-in's status, XR_ERR_ARGUMENT for a bad index, or
    // XR_ERR_INTERNAL when the copy cannot be made (the plug-in is not called).
    int32_t Execute(int i, XrImage& image, XrImage& undo, void* owner, const std::function<void()>& refresh);

    // "Plugin no [  0]\r\n  name = ...\r\n" for each plug-in.
    std::string ListText() const;

private:
    struct Plugin {
        void* module;
        char name[XR_PLUGIN_NAME_SIZE];
        XrPluginInfoFn info;
        XrPluginQueryFn query;
        XrPluginExecFn exec;
    };
    void UnloadAll();

    std::vector<Plugin> plugins_;
};

// Folder of the running program (from /proc/self/exe); "" when unknown.
std::string ProgramFolder();
// ProgramFolder() + "/plg_filter"; "" when the program folder is unknown.
std::string DefaultPluginFolder();

}  // namespace lumapix

#endif

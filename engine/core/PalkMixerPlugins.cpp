// Loading, naming and freeing the FX plug-in libraries.
#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/EngineStatics.h"
#include "core/Log.h"
#include "core/PalkMixer.h"
#include "tracks/Channel.h"
#include "tracks/SongTables.h"

namespace {

constexpr unsigned long AllBits = static_cast<unsigned long>(-1);

// A program that ends without Terminate destroys the plug-ins' static objects before the
// engine's, for they were made later: whatever the engine's own shutdown then sends them would
// reach destroyed objects. A handler registered after each library was loaded runs before that
// library's destructors and lets go of the plug-ins first.
void FreePluginsAtExit() {
    if (Mixer)
        Mixer->FreePlugins();
}

bool IsPluginFileName(const char* name) {
    size_t length = std::strlen(name);
    return length > 3 && std::strcmp(name + length - 3, ".so") == 0;
}

}  // namespace

void PalkMixer::LoadPlugins(std::string path) {
    if (path.empty())
        path = ProgramDirectory + "/Plugins";
    WriteLog("Loading all plugins from path:");
    WriteLog(path);
    path += "/";

    DIR* folder = ::opendir(path.c_str());
    if (!folder)
        return;  // no Plugins folder: nothing to load
    std::vector<std::string> files;
    for (;;) {
        errno = 0;
        dirent* entry = ::readdir(folder);
        if (!entry)
            break;
        if (IsPluginFileName(entry->d_name))
            files.emplace_back(entry->d_name);
    }
    int searchError = errno;
    ::closedir(folder);
    if (searchError != 0)
        throw OrvellError("Weird error loading plugins...");
    // Directory order is arbitrary on Linux; load in name order so that the table (and which
    // of two same-named plug-ins wins) is the same on every start.
    std::sort(files.begin(), files.end());

    // The tracks' chains take up what is loaded, also when a broken library ends the scan.
    struct ChainsBack {
        std::vector<Channel*>& tracks;
        ~ChainsBack() {
            for (Channel* track : tracks)
                track->AttachPlugins();
        }
    } chainsBack{tracks_};
    for (const std::string& name : files) {
        if (pluginCount_ >= MaxPlugins) {
            WriteLog("Plugin table full, not loaded: " + path + name);
            continue;
        }
        try {
            LoadPlugin(path + name);
        } catch (const std::string& failure) {
            throw OrvellError(failure);
        }
    }
}

QuibFXFunction PalkMixer::LoadPlugin(const std::string& file) {
    WriteLog("Loading plugin:");
    WriteLog(file);
    void* module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
        throw std::string("Can't load file:") + file;
    auto entry = reinterpret_cast<QuibFXFunction>(::dlsym(module, "QuibFXFunction"));
    if (!entry) {
        ::dlclose(module);
        throw std::string("Plugin-file is corrupt:") + file;
    }
    entry(1, reinterpret_cast<unsigned long>(module), AllBits);
    entry(6, SampleRate, AllBits);
    plugins_[pluginCount_] = entry;
    pluginModules_[pluginCount_] = module;
    ++pluginCount_;
    std::atexit(FreePluginsAtExit);
    return entry;
}

void PalkMixer::GetPluginNames(std::vector<std::string>& names) {
    for (int i = 0; i < pluginCount_; ++i) {
        auto name = reinterpret_cast<const char*>(plugins_[i](3, 0, AllBits));
        names.emplace_back(name ? name : "");
    }
}

QuibFXFunction PalkMixer::GetPlugin(const char* name) {
    for (int i = 0; i < pluginCount_; ++i) {
        auto own = reinterpret_cast<const char*>(plugins_[i](3, 0, 0));
        if (own && name && std::strcmp(own, name) == 0)
            return plugins_[i];
    }
    throw InternalError(std::string("Could not find plugin:") + (name ? name : ""));
}

QuibFXFunction PalkMixer::FindPlugin(const char* name) {
    if (!name)
        return nullptr;
    for (int i = 0; i < pluginCount_; ++i) {
        auto own = reinterpret_cast<const char*>(plugins_[i](3, 0, 0));
        if (own && std::strcmp(own, name) == 0)
            return plugins_[i];
    }
    // The song table keeps 20 bytes of a name.
    const size_t length = std::strlen(name);
    if (length != static_cast<size_t>(SongTables::PluginNameWidth))
        return nullptr;
    for (int i = 0; i < pluginCount_; ++i) {
        auto own = reinterpret_cast<const char*>(plugins_[i](3, 0, 0));
        if (own && std::strncmp(own, name, length) == 0)
            return plugins_[i];
    }
    return nullptr;
}

void PalkMixer::FreePlugins() {
    // No track runs a plug-in once its library is gone.
    for (Channel* track : tracks_)
        track->DetachPlugins();
    for (int i = 0; i < pluginCount_; ++i) {
        // The plug-in hands back its module handle; the engine closes the handle it opened
        // itself, so a plug-in that answers wrongly cannot make it close something else.
        plugins_[i](8, 0, AllBits);
        ::dlclose(pluginModules_[i]);
        plugins_[i] = nullptr;
        pluginModules_[i] = nullptr;
    }
    pluginCount_ = 0;
}

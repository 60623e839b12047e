// A track's effects: the names of its chain, the chain the player runs, and what the plug-ins
// are told when it changes.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core/EngineStatics.h"
#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "tracks/Channel.h"

namespace {

unsigned long ChannelArgument(int index) {
    return static_cast<unsigned long>(index);
}

}  // namespace

void Channel::GetPlugins(std::list<std::string>& names) const {
    names.assign(Plugins.begin(), Plugins.end());
}

void Channel::SwapChain(std::vector<QuibFXEntry>& chain) {
    {
        std::lock_guard<std::mutex> guard(fxLock_);
        fxChain_.swap(chain);
        fxChainEmpty_ = fxChain_.empty();
    }
    // The old chain goes here, on the GUI thread, after the player let go of it.
}

bool Channel::AddToChain(QuibFXEntry plugin, std::vector<QuibFXEntry>& chain) {
    if (plugin(QUIBFX_ADDED, 0, ChannelArgument(Index)) != 0)
        return false;
    chain.push_back(plugin);
    return true;
}

void Channel::AddPlugin(const char* name) {
    const std::string text = name ? name : "";
    QuibFXEntry plugin = Mixer->GetPlugin(text.c_str());
    // One plug-in serves a track through one state: a second copy on the same track would
    // run through the first one's state twice.
    if (std::find(Plugins.begin(), Plugins.end(), text) != Plugins.end() ||
        std::find(fxChain_.begin(), fxChain_.end(), plugin) != fxChain_.end())
        throw DisplayedError("The effect " + text + " is on this track already.");
    std::vector<QuibFXEntry> chain = fxChain_;
    chain.reserve(chain.size() + 1);
    if (!AddToChain(plugin, chain))
        throw DisplayedError("The effect " + text + " could not be set up for track " + Name + ".");
    Plugins.push_back(text);
    SwapChain(chain);
}

void Channel::RemovePlugin(const char* name) {
    const std::string text = name ? name : "";
    const auto listed = std::find(Plugins.begin(), Plugins.end(), text);
    if (listed != Plugins.end())
        Plugins.erase(listed);
    QuibFXEntry plugin = Mixer->GetPlugin(text.c_str());
    std::vector<QuibFXEntry> chain = fxChain_;
    chain.erase(std::remove(chain.begin(), chain.end(), plugin), chain.end());
    // Off the chain before the plug-in hears of it: it may free the track's state then.
    SwapChain(chain);
    plugin(QUIBFX_REMOVED, 0, ChannelArgument(Index));
}

FX::Knob* Channel::GetKnobs(const char* name) {
    QuibFXEntry plugin = Mixer->GetPlugin(name);
    return reinterpret_cast<FX::Knob*>(plugin(QUIBFX_KNOBS, 0, ChannelArgument(Index)));
}

void Channel::FXSetup(const char* name, unsigned long parent) {
    QuibFXEntry plugin = Mixer->GetPlugin(name);
    if (plugin(QUIBFX_SETUP, parent, ChannelArgument(Index)) == 0)
        throw DisplayedError(std::string("The effect ") + name + " has no settings to show.");
}

void Channel::ReplacePlugins(const std::list<std::string>& names, std::list<std::string>& missing) {
    std::vector<QuibFXEntry> previous = fxChain_;
    std::vector<QuibFXEntry> none;
    SwapChain(none);
    for (QuibFXEntry plugin : previous)
        plugin(QUIBFX_REMOVED, 0, ChannelArgument(Index));
    Plugins.clear();
    for (const std::string& name : names) {
        if (std::find(Plugins.begin(), Plugins.end(), name) == Plugins.end())
            Plugins.push_back(name);
    }
    AttachPlugins();
    for (const std::string& name : Plugins) {
        if (!Mixer->FindPlugin(name.c_str()))
            missing.push_back(name);
    }
}

void Channel::AttachPlugins() {
    std::vector<QuibFXEntry> chain;
    chain.reserve(Plugins.size());
    for (const std::string& name : Plugins) {
        QuibFXEntry plugin = Mixer->FindPlugin(name.c_str());
        if (plugin && std::find(chain.begin(), chain.end(), plugin) == chain.end())
            AddToChain(plugin, chain);
    }
    SwapChain(chain);
}

void Channel::DetachPlugins() {
    std::vector<QuibFXEntry> none;
    SwapChain(none);
}

void Channel::ResetPlugins(int64_t position) {
    for (QuibFXEntry plugin : fxChain_)
        plugin(QUIBFX_RESET, static_cast<unsigned long>(position), ChannelArgument(Index));
}

// Player thread from here on.

void Channel::RunChain(uint32_t start) {
    std::lock_guard<std::mutex> guard(fxLock_);
    QuibFXBuffer buffer{Data, BufferSize, SampleRate, start};
    for (QuibFXEntry plugin : fxChain_)
        plugin(QUIBFX_PROCESS, reinterpret_cast<unsigned long>(&buffer), ChannelArgument(Index));
}

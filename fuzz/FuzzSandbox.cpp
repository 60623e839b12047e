#include "FuzzSandbox.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/Log.h"
#include "core/PalkMixer.h"

namespace fs = std::filesystem;

namespace {

fs::path sandbox;
const std::string SentinelText = "the song folder's neighbour";

[[noreturn]] void Finding(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    abort();
}

}  // namespace

void EnterFuzzSandbox() {
    if (!sandbox.empty())
        return;
    // In memory where possible: every metafile rewrite syncs, which costs nothing there.
    char inMemory[] = "/dev/shm/zembla-fuzz-XXXXXX";
    char onDisk[] = "/tmp/zembla-fuzz-XXXXXX";
    const char* made = mkdtemp(inMemory);
    if (!made && !(made = mkdtemp(onDisk)))
        Finding("cannot create the sandbox folder");
    sandbox = made;
    std::ofstream(sandbox / "sentinel") << SentinelText;
    fs::create_directory(sandbox / "song");
    fs::current_path(sandbox / "song");
    atexit([] {
        // The engine saves its settings when it shuts down: it goes before its folder does.
        delete Mixer;
        Mixer = nullptr;
        std::error_code ignored;
        fs::remove_all(sandbox, ignored);
    });
}

void ClearSongFolder() {
    // Links are removed, never followed.
    for (const fs::directory_entry& entry : fs::directory_iterator(sandbox / "song"))
        fs::remove_all(entry.path());
}

void CheckSentinel() {
    std::ifstream in(sandbox / "sentinel");
    if (std::string(std::istreambuf_iterator<char>(in), {}) != SentinelText)
        Finding("the file beside the song folder was changed");
    for (const fs::directory_entry& entry : fs::directory_iterator(sandbox)) {
        const std::string name = entry.path().filename();
        if (name != "sentinel" && name != "song")
            Finding("a file appeared outside the song folder: " + name);
    }
}

void WriteSongFile(const std::string& name, std::string_view content) {
    std::ofstream(name, std::ios::binary | std::ios::trunc)
        .write(content.data(), static_cast<std::streamsize>(content.size()));
}

void TrimLogNowAndThen() {
    static unsigned runs = 0;
    if (++runs % 1024 == 0)
        ResetLogForNextRun();
}

#include "FuzzSandbox.h"

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/Log.h"

namespace {

std::string sandbox;
const char* const SentinelText = "the song folder's neighbour";

std::string SentinelPath() {
    return sandbox + "/sentinel";
}

void RemoveEntries(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        std::string path = folder + "/" + name;
        struct stat info;
        if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            RemoveEntries(path);
            rmdir(path.c_str());
        } else {
            unlink(path.c_str());
        }
    }
    closedir(dir);
}

void RemoveSandbox() {
    if (sandbox.empty())
        return;
    RemoveEntries(sandbox);
    rmdir(sandbox.c_str());
}

}  // namespace

void EnterFuzzSandbox() {
    if (!sandbox.empty())
        return;
    // In memory where possible: every metafile rewrite syncs, which costs nothing there.
    char inMemory[] = "/dev/shm/zembla-fuzz-XXXXXX";
    char onDisk[] = "/tmp/zembla-fuzz-XXXXXX";
    const char* made = mkdtemp(inMemory);
    if (!made)
        made = mkdtemp(onDisk);
    if (!made)
        abort();
    sandbox = made;
    std::ofstream(SentinelPath()) << SentinelText;
    std::string song = sandbox + "/song";
    if (mkdir(song.c_str(), 0755) != 0 || chdir(song.c_str()) != 0)
        abort();
    atexit(RemoveSandbox);
}

void ClearSongFolder() {
    RemoveEntries(sandbox + "/song");
}

void CheckSentinel() {
    std::ifstream in(SentinelPath());
    std::stringstream content;
    content << in.rdbuf();
    if (content.str() != SentinelText) {
        std::fprintf(stderr, "the file beside the song folder was changed\n");
        abort();
    }
    // Nothing but the sentinel and the song folder may appear beside it.
    DIR* dir = opendir(sandbox.c_str());
    if (!dir)
        abort();
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != ".." && name != "sentinel" && name != "song") {
            std::fprintf(stderr, "a file appeared outside the song folder: %s\n", name.c_str());
            abort();
        }
    }
    closedir(dir);
}

void WriteSongFile(const std::string& name, const uint8_t* data, size_t size) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

std::vector<std::string> SplitInput(const uint8_t* data, size_t size, size_t maxParts) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && parts.size() < maxParts)
            parts.emplace_back();
        else
            parts.back().push_back(static_cast<char>(data[i]));
    }
    return parts;
}

void TrimLogNowAndThen() {
    static unsigned runs = 0;
    if (++runs % 1024 == 0)
        ResetLogForNextRun();
}

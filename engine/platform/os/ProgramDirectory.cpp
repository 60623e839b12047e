#include "platform/os/ProgramDirectory.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

std::string ProgramDirectory() {
    std::error_code error;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && executable.has_parent_path())
        return executable.parent_path().string();
    std::filesystem::path current = std::filesystem::current_path(error);
    return error ? std::string(".") : current.string();
}

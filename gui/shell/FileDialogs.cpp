#include "shell/FileDialogs.h"

#include "shell/QtFileDialogs.h"

namespace {

FileDialogs* installed = nullptr;

}  // namespace

FileDialogs& FileDialogs::Current() {
    if (installed)
        return *installed;
    static QtFileDialogs qtDialogs;
    return qtDialogs;
}

void FileDialogs::Install(FileDialogs* dialogs) {
    installed = dialogs;
}

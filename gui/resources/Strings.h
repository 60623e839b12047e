#pragma once

// Texts of the program used in more than one place.
namespace Strings {

// The program's title: the main window's, and the caption of its message boxes.
constexpr const char* AppTitle = "Zembla";

}  // namespace Strings

#pragma once

#include <string>

// The folder of the running executable (without a trailing "/"); "Plugins" and "doc.htm" lie
// beside the program. Falls back to the current folder when /proc is not readable.
std::string ProgramDirectory();

#pragma once

#include <string>
#include <string_view>

// Every fuzz target works in a song folder of its own under a fresh temporary folder, with a
// sentinel file beside the song folder that no input may ever change, open for writing or
// delete: inputs name files outside the song folder on purpose.

// Creates the folders and makes the song folder current (once per process).
void EnterFuzzSandbox();
// Empties the song folder.
void ClearSongFolder();
// Aborts (a finding) when the sentinel changed or anything else appeared beside it.
void CheckSentinel();
// Writes a file in the song folder.
void WriteSongFile(const std::string& name, std::string_view content);
// Keeps the log of a long campaign from growing without bound.
void TrimLogNowAndThen();

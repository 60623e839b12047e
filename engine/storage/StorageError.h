#pragma once

#include <stdexcept>

#include "core/PalkExport.h"

// What the segmented stream throws when a metafile, a segment or an export target fails it:
// the plain texts "bad metafile!", "can't open metafile!", "can't open realfile!" and
// "GAAAAA! no file there!". Deliberately not an OrvellError: the callers decide whether and
// how the user sees it (what() gives the text).
class PALKENG_API StorageError : public std::runtime_error {
  public:
    explicit StorageError(const char* text) : std::runtime_error(text) {}
};

// The texts, for callers that compare.
inline constexpr const char* BadMetafileText = "bad metafile!";
inline constexpr const char* CantOpenMetafileText = "can't open metafile!";
inline constexpr const char* CantOpenRealfileText = "can't open realfile!";
inline constexpr const char* CantWriteRealfileText = "can't write realfile!";
inline constexpr const char* NoFileThereText = "GAAAAA! no file there!";

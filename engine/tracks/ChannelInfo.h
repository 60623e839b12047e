#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One record of "channel_info.struct": 32 bytes per track, in track order, no file header.
//
//   0..29  the name, zero-terminated, the rest zero (at most 29 bytes of name)
//   30     1 for a stereo track, else 0
//   31     bits per sample: 8 or 16
struct ChannelInfo {
    static constexpr char FileName[] = "channel_info.struct";
    static constexpr size_t RecordBytes = 32;
    static constexpr size_t NameBytes = 30;
    static constexpr size_t MaxNameLength = NameBytes - 1;

    std::string name;
    bool stereo = false;
    bool sixteenBit = false;

    std::array<uint8_t, RecordBytes> Encode() const;
    // Any 32 bytes give a record: a name without its zero ends at the field's end, byte 30 is
    // stereo when not zero, byte 31 is 16-bit when it says 16.
    static ChannelInfo Decode(const uint8_t* record);

    // Reads the records of the file at path, up to limit of them (a short last record ends
    // the file). False when the file cannot be opened or read; records holds what was read.
    static bool ReadFile(const std::string& path, size_t limit, std::vector<ChannelInfo>& records);
    // Appends one record to the file at path, creating it. False on failure (errno).
    static bool AppendToFile(const std::string& path, const ChannelInfo& record);
};

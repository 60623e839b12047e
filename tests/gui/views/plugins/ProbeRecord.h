#pragma once

// What the dialogs' test plug-ins heard, read by the tests through the plug-in's own command
// ProbeRecordCommand, which answers with a pointer to the plug-in's ProbeRecord.

#include <stdint.h>

enum { ProbeRecordCommand = 100, ProbeMaxCalls = 256 };

struct ProbeCall {
    unsigned long command;
    // QUIBFX_GET_KNOB / QUIBFX_SET_KNOB: the value handed back or in, and the knob's id.
    int32_t value;
    int32_t id;
    // QUIBFX_SETUP: the parent window.
    unsigned long first;
    unsigned long channel;
};

struct ProbeRecord {
    int count;
    struct ProbeCall calls[ProbeMaxCalls];
};

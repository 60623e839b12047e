/* Zembla's effect plug-in interface.
 *
 * A plug-in is a shared library ("NAME.so" in the "Plugins" folder beside the program) that
 * exports one C function:
 *
 *     unsigned long QuibFXFunction(unsigned long command, unsigned long first,
 *                                  unsigned long second);
 *
 * Every exchange goes through it: the command code below, two arguments whose meaning depends
 * on the command, and a result. Pointers travel in an unsigned long (it is as wide as a
 * pointer on Linux). "-1" below is the value with all bits set; "channel" is the track's index
 * (0, 1, 2 ...). One plug-in serves every track it is put on, so it keeps its state per channel;
 * a track holds a plug-in at most once. A new song takes every effect off every track
 * (QUIBFX_REMOVED); an opened song puts its own back (QUIBFX_ADDED).
 *
 * Threads: every command comes from the program's GUI thread except QUIBFX_PROCESS, which comes
 * from the player thread while the song plays, possibly at the same time as a GUI-thread
 * command for the same channel (a knob being turned). QUIBFX_PROCESS must be real-time safe:
 * no memory allocation, no file or terminal I/O, no lock the GUI thread may hold for long.
 * The host never sends QUIBFX_PROCESS for a channel before QUIBFX_ADDED for it, nor after
 * QUIBFX_REMOVED for it has been sent, nor while QUIBFX_ADDED, QUIBFX_REMOVED or QUIBFX_RESET
 * for that channel is being handled.
 */
#ifndef ZEMBLA_QUIBFX_H
#define ZEMBLA_QUIBFX_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned long (*QuibFXEntry)(unsigned long command, unsigned long first,
                                     unsigned long second);

enum QuibFXCommand {
    /* The library was loaded. first: its module handle (from dlopen); second: -1. */
    QUIBFX_LOADED = 1,
    /* The plug-in's name, as shown to the user and stored in songs (at most 20 bytes are
     * stored). Result: a const char* that stays valid while the library is loaded. first: 0;
     * second: -1 when listing the plug-ins, 0 when looking one up by name. */
    QUIBFX_NAME = 3,
    /* The song's sample rate in Hz (first); second: -1. Sent after QUIBFX_LOADED and on every
     * rate change, while the song is stopped. */
    QUIBFX_SAMPLE_RATE = 6,
    /* The song was saved. first: 0; second: -1. The song folder is the current folder, so a
     * plug-in may keep per-song settings of its own there. */
    QUIBFX_SONG_SAVED = 7,
    /* The library is about to be unloaded. first: 0; second: -1. Result: the module handle
     * it was given with QUIBFX_LOADED. Also sent when the program exits without shutting the
     * engine down, before the library's static objects are destroyed. */
    QUIBFX_UNLOAD = 8,
    /* The plug-in was taken off a channel (second). first: 0. Also sent for a channel that
     * did not have it. */
    QUIBFX_REMOVED = 9,
    /* The knob table for channel (second). first: 0. Result: a QuibFXKnob* array ending with
     * an element whose label is null, owned by the plug-in and valid while it is loaded; or 0
     * when the plug-in shows its own setup instead (QUIBFX_SETUP). */
    QUIBFX_KNOBS = 10,
    /* Read a knob. first: a QuibFXKnobValue* whose id is set; the plug-in writes value.
     * second: the channel. Sent to the knob's own function. */
    QUIBFX_GET_KNOB = 11,
    /* Set a knob. first: a const QuibFXKnobValue* with the new value and the id; second: the
     * channel. Sent to the knob's own function, also while the song plays. */
    QUIBFX_SET_KNOB = 12,
    /* A song was opened. first: 0; second: 0. Sent after the song folder became the current
     * folder and before the tracks (and their effects) are loaded. */
    QUIBFX_SONG_LOADED = 13,
    /* The plug-in was put on a channel (second), or the channel's effects were restored from
     * a song. first: 0. The place to set up the channel's state. Result: 0 when it is ready;
     * anything else refuses (the channel then runs without it). */
    QUIBFX_ADDED = 14,
    /* Show the plug-in's own setup for channel (second), as a window whose parent is the
     * native window first (an X11 window id; 0 for none). Result: 1 when it was shown, 0 when
     * the plug-in cannot show one (no GUI in this process). */
    QUIBFX_SETUP = 15,
    /* Process one buffer of channel's audio in place. first: a QuibFXBuffer*; second: the
     * channel. Player thread: see above. Result: ignored. */
    QUIBFX_PROCESS = 16,
    /* The song starts playing (or moves) for channel (second): forget what earlier buffers
     * left behind, such as an echo's tail. first: the position in frames of the first buffer
     * to come. */
    QUIBFX_RESET = 17
};

/* One knob of a knob table. The host's FX dialog shows a slider from min to max for it and
 * calls function with QUIBFX_GET_KNOB when it opens and QUIBFX_SET_KNOB when the slider moves. */
typedef struct QuibFXKnob {
    int32_t id;
    QuibFXEntry function;
    const char* label;
    int32_t max;
    int32_t min;
} QuibFXKnob;

/* The argument of QUIBFX_GET_KNOB and QUIBFX_SET_KNOB. */
typedef struct QuibFXKnobValue {
    int32_t value;
    int32_t id;
} QuibFXKnobValue;

/* The argument of QUIBFX_PROCESS: frames stereo frames of interleaved signed 16-bit samples,
 * left then right, to be changed in place. */
typedef struct QuibFXBuffer {
    int16_t* samples;
    uint32_t frames;
    /* The rate last sent with QUIBFX_SAMPLE_RATE. */
    uint32_t sampleRate;
    /* The song position of the first frame, in frames. */
    int64_t position;
} QuibFXBuffer;

#ifdef __cplusplus
}

/* The host's name for a knob. */
namespace FX {
using Knob = QuibFXKnob;
}
#endif

#endif

/*
 * A sound card for tests of the ALSA backend, as an alsa-lib PCM plug-in: a PCM that runs in
 * real time like hardware does, without hardware. Its clock starts with the stream; playback
 * consumes frames at the stream's rate (what is played goes to a file) and under-runs when it
 * is not fed; capture produces frames at that rate and overruns when it is not read. Every
 * captured frame carries its own number, counted at the stream's rate from the moment the PCM
 * was opened (in its first four bytes, little-endian, cut to the frame size), so a test can
 * tell when what it captured arrived.
 *
 * Declared in a test's .asoundrc:
 *   pcm_type.zembla_clocked { lib "<path of this library>" }
 *   pcm.name { type zembla_clocked
 *              out "<file>"            what is played, appended (optional)
 *              unplug_when "<path>"    while this file exists the card is gone (optional)
 *              stall_when "<path>" }   while this file exists the clock stands still (optional)
 */
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

typedef struct {
    snd_pcm_ioplug_t io;
    int timer;           /* the poll descriptor: fires once a period while running */
    int out;             /* playback sink, or -1 */
    char* unplugWhen;    /* file whose existence means the card is gone */
    char* stallWhen;     /* file whose existence stops the clock */
    double opened;       /* seconds, monotonic */
    double started;      /* when the running stream started */
    double stalledAt;    /* when the clock stopped, or -1 */
    double stalledTotal; /* seconds the clock stood still since the start */
    uint64_t moved;      /* frames transferred since the stream was prepared */
    uint64_t firstFrame; /* number of the stream's first captured frame */
    int running;
} Clocked;

static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

static int Exists(const char* path) {
    struct stat info;
    return path && stat(path, &info) == 0;
}

/* Frames the clock has advanced since the stream started. */
static uint64_t Elapsed(Clocked* c) {
    double now = Now();
    if (Exists(c->stallWhen)) {
        if (c->stalledAt < 0)
            c->stalledAt = now;
        now = c->stalledAt;
    } else if (c->stalledAt >= 0) {
        c->stalledTotal += now - c->stalledAt;
        c->stalledAt = -1;
    }
    double seconds = now - c->started - c->stalledTotal;
    return seconds > 0 ? (uint64_t)(seconds * c->io.rate) : 0;
}

static void SetTimer(Clocked* c, int on) {
    struct itimerspec spec;
    memset(&spec, 0, sizeof spec);
    if (on) {
        long ns = (long)((double)c->io.period_size * 1e9 / c->io.rate);
        if (ns < 1000000)
            ns = 1000000;
        spec.it_interval.tv_sec = ns / 1000000000;
        spec.it_interval.tv_nsec = ns % 1000000000;
        spec.it_value = spec.it_interval;
    }
    timerfd_settime(c->timer, 0, &spec, NULL);
}

static int Start(snd_pcm_ioplug_t* io) {
    Clocked* c = io->private_data;
    if (Exists(c->unplugWhen))
        return -ENODEV;
    c->started = Now();
    c->stalledAt = -1;
    c->stalledTotal = 0;
    c->firstFrame = (uint64_t)((c->started - c->opened) * io->rate);
    c->running = 1;
    SetTimer(c, 1);
    return 0;
}

static int Stop(snd_pcm_ioplug_t* io) {
    Clocked* c = io->private_data;
    c->running = 0;
    SetTimer(c, 0);
    return 0;
}

static int Prepare(snd_pcm_ioplug_t* io) {
    Clocked* c = io->private_data;
    c->running = 0;
    c->moved = 0; /* playback writes before the start; both count from here */
    SetTimer(c, 0);
    return Exists(c->unplugWhen) ? -ENODEV : 0;
}

static snd_pcm_sframes_t Pointer(snd_pcm_ioplug_t* io) {
    Clocked* c = io->private_data;
    if (Exists(c->unplugWhen))
        return -ENODEV;
    if (!c->running)
        return (snd_pcm_sframes_t)(c->moved % io->buffer_size);
    uint64_t elapsed = Elapsed(c);
    if (io->stream == SND_PCM_STREAM_PLAYBACK) {
        if (elapsed > c->moved)
            return -EPIPE; /* played everything it was given */
        return (snd_pcm_sframes_t)(elapsed % io->buffer_size);
    }
    if (elapsed > c->moved + io->buffer_size)
        return -EPIPE; /* nobody read it in time */
    return (snd_pcm_sframes_t)(elapsed % io->buffer_size);
}

static snd_pcm_sframes_t Transfer(snd_pcm_ioplug_t* io, const snd_pcm_channel_area_t* areas,
                                  snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
    Clocked* c = io->private_data;
    unsigned frameBytes = (unsigned)(snd_pcm_format_physical_width(io->format) / 8 * io->channels);
    char* base = (char*)areas->addr + (areas->first + areas->step * offset) / 8;
    if (io->stream == SND_PCM_STREAM_PLAYBACK) {
        if (c->out >= 0) {
            size_t left = size * frameBytes;
            const char* from = base;
            while (left > 0) {
                ssize_t n = write(c->out, from, left);
                if (n <= 0)
                    break;
                from += n;
                left -= (size_t)n;
            }
        }
    } else {
        for (snd_pcm_uframes_t i = 0; i < size; ++i) {
            uint32_t number = (uint32_t)(c->firstFrame + c->moved + i);
            unsigned char stamp[4] = {(unsigned char)number, (unsigned char)(number >> 8),
                                      (unsigned char)(number >> 16), (unsigned char)(number >> 24)};
            char* frame = base + i * frameBytes;
            for (unsigned b = 0; b < frameBytes; ++b)
                frame[b] = (char)(b < 4 ? stamp[b] : 0);
        }
    }
    c->moved += size;
    return (snd_pcm_sframes_t)size;
}

static int PollRevents(snd_pcm_ioplug_t* io, struct pollfd* fds, unsigned int count,
                       unsigned short* revents) {
    Clocked* c = io->private_data;
    uint64_t expirations;
    (void)count;
    if (fds[0].revents & POLLIN) {
        if (read(c->timer, &expirations, sizeof expirations) < 0) {
            /* nothing to clear */
        }
    }
    *revents = 0;
    if (Exists(c->unplugWhen)) {
        *revents = POLLERR;
        return 0;
    }
    if (!c->running)
        return 0;
    uint64_t elapsed = Elapsed(c);
    if (io->stream == SND_PCM_STREAM_PLAYBACK) {
        uint64_t queued = c->moved > elapsed ? c->moved - elapsed : 0;
        if (io->buffer_size - queued >= io->period_size)
            *revents = POLLOUT;
    } else if (elapsed >= c->moved + io->period_size) {
        *revents = POLLIN;
    }
    return 0;
}

static int Close(snd_pcm_ioplug_t* io) {
    Clocked* c = io->private_data;
    close(c->timer);
    if (c->out >= 0)
        close(c->out);
    free(c->unplugWhen);
    free(c->stallWhen);
    free(c);
    return 0;
}

static const snd_pcm_ioplug_callback_t Callbacks = {
    .start = Start,
    .stop = Stop,
    .pointer = Pointer,
    .transfer = Transfer,
    .close = Close,
    .prepare = Prepare,
    .poll_revents = PollRevents,
};

static int SetConstraints(snd_pcm_ioplug_t* io) {
    static const unsigned int access[] = {SND_PCM_ACCESS_RW_INTERLEAVED};
    static const unsigned int formats[] = {SND_PCM_FORMAT_U8, SND_PCM_FORMAT_S16_LE};
    int error;
    if ((error = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_ACCESS, 1, access)) < 0 ||
        (error = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_FORMAT, 2, formats)) < 0 ||
        (error = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_CHANNELS, 1, 2)) < 0 ||
        (error = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_RATE, 8000, 192000)) < 0 ||
        (error = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 64, 1 << 20)) <
            0 ||
        (error = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64)) < 0)
        return error;
    return 0;
}

SND_PCM_PLUGIN_DEFINE_FUNC(zembla_clocked) {
    snd_config_iterator_t i, next;
    const char* out = NULL;
    const char* unplugWhen = NULL;
    const char* stallWhen = NULL;
    (void)root;
    snd_config_for_each(i, next, conf) {
        snd_config_t* entry = snd_config_iterator_entry(i);
        const char* id;
        if (snd_config_get_id(entry, &id) < 0)
            continue;
        if (strcmp(id, "comment") == 0 || strcmp(id, "type") == 0 || strcmp(id, "hint") == 0)
            continue;
        const char** target = strcmp(id, "out") == 0           ? &out
                              : strcmp(id, "unplug_when") == 0 ? &unplugWhen
                              : strcmp(id, "stall_when") == 0  ? &stallWhen
                                                               : NULL;
        if (!target || snd_config_get_string(entry, target) < 0)
            return -EINVAL;
    }

    Clocked* c = calloc(1, sizeof *c);
    if (!c)
        return -ENOMEM;
    c->out = -1;
    c->stalledAt = -1;
    c->opened = Now();
    c->timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (out && stream == SND_PCM_STREAM_PLAYBACK)
        c->out = open(out, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    c->unplugWhen = unplugWhen ? strdup(unplugWhen) : NULL;
    c->stallWhen = stallWhen ? strdup(stallWhen) : NULL;
    if (c->timer < 0 || (out && stream == SND_PCM_STREAM_PLAYBACK && c->out < 0)) {
        if (c->timer >= 0)
            close(c->timer);
        if (c->out >= 0)
            close(c->out);
        free(c->unplugWhen);
        free(c->stallWhen);
        free(c);
        return -EIO;
    }

    c->io.version = SND_PCM_IOPLUG_VERSION;
    c->io.name = "Zembla clocked test card";
    c->io.callback = &Callbacks;
    c->io.private_data = c;
    c->io.poll_fd = c->timer;
    c->io.poll_events = POLLIN;
    c->io.mmap_rw = 0;
    int error = snd_pcm_ioplug_create(&c->io, name, stream, mode);
    if (error < 0) {
        Close(&c->io);
        return error;
    }
    if ((error = SetConstraints(&c->io)) < 0) {
        snd_pcm_ioplug_delete(&c->io);
        return error;
    }
    *pcmp = c->io.pcm;
    return 0;
}

SND_PCM_PLUGIN_SYMBOL(zembla_clocked);

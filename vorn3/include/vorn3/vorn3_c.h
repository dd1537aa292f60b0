/* Vorn3, the module player library: its binary interface. A tune is one module (XM, MOD,
 * S3M or IT) rendered on the caller's thread at the caller's rate, with no device and no
 * thread of the library's own. Plain C types and opaque handles only; nothing exits,
 * throws or prints.
 *
 * Threads: the library keeps no state between tunes, so different tunes may be used from
 * different threads at once. One tune is used by one thread at a time, except for the
 * functions marked "any thread", which may be called while another thread renders it (a
 * player drawing visuals beside its audio thread): those that read what loading fixed and
 * vorn3_get_position and vorn3_get_state.
 *
 * Null handles: every function takes a null tune as a tune that does nothing; what it
 * returns then is stated below as "for null". Freeing a tune twice, or using it after
 * vorn3_free, is the caller's error, as with free(). */
#ifndef VORN3_C_H
#define VORN3_C_H

#include <stddef.h>
#include <stdint.h>

#include "vorn3/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The version of this header. vorn3_version() gives the library's at run time: a program
 * built against this header works with any library of the same major version and at
 * least this minor one. */
#define VORN3_VERSION_MAJOR 0
#define VORN3_VERSION_MINOR 2
#define VORN3_VERSION_PATCH 0
#define VORN3_VERSION_TEXT "0.2.0"
#define VORN3_VERSION_NUMBER \
    (VORN3_VERSION_MAJOR * 10000 + VORN3_VERSION_MINOR * 100 + VORN3_VERSION_PATCH)

/* The library's version as VORN3_VERSION_NUMBER counts it. Any thread. */
VORN3_API int32_t vorn3_version(void);
/* The same as text, as VORN3_VERSION_TEXT gives it; a string that lives as long as the library. Any
 * thread. */
VORN3_API const char* vorn3_version_text(void);

typedef struct vorn3_tune vorn3_tune;

/* ok is 1 on success; else 0 with message saying why, one line of printable text. A load
 * that succeeds may carry a warning in message (the file ends inside its sample data, which
 * then plays as far as it goes); message is "" otherwise. */
typedef struct vorn3_status {
    int32_t ok;
    char message[160];
} vorn3_status;

/* Names are trimmed and hold no control bytes; each ends in a zero byte. */
typedef struct vorn3_info {
    char title[32];
    char tracker[32]; /* the program that wrote the file; "" when unknown */
    char format[32];  /* "XM 1.04", "MOD M.K.", "MOD 15 samples", "S3M", "IT 2.14" */
    int32_t channels;
    int32_t orders; /* in the order list, separators and skip markers left out */
    int32_t patterns;
    int32_t instruments;
    int32_t samples;
    int32_t subsongs;           /* at least 1 */
    int32_t linear_frequencies; /* 1: linear, 0: Amiga periods */
    int32_t speed;              /* initial ticks per row */
    int32_t bpm;                /* initial beats per minute */
} vorn3_info;

/* Every pass, for vorn3_set_passes. */
#define VORN3_PLAY_FOREVER 0
#define VORN3_MIN_RATE 8000
#define VORN3_MAX_RATE 384000

/* Reads a module from size bytes at data (copied as needed: data may go once this
 * returns) or from the file at path, to be rendered at rate Hz (VORN3_MIN_RATE..
 * VORN3_MAX_RATE). On success *tune is the new tune, to be released with vorn3_free,
 * and the status may carry a warning; on failure *tune is null and the status says why:
 * the rate, a file that cannot be read, bytes that are no module this library plays, a
 * file that ends inside a part the song needs (its header, instruments or patterns, named
 * in the message), memory. A null tune pointer fails and loads nothing. Any thread. */
VORN3_API vorn3_status vorn3_load(const void* data, size_t size, int32_t rate, vorn3_tune** tune);
VORN3_API vorn3_status vorn3_load_file(const char* path, int32_t rate, vorn3_tune** tune);

/* Receives one line of text (no line break) and the pointer the host gave with it. */
typedef void (*vorn3_log_function)(void* user, const char* line);
/* As vorn3_load, also handing each warning to log (when not null) as the load finds it,
 * on the calling thread, before this returns. */
VORN3_API vorn3_status vorn3_load_logged(const void* data, size_t size, int32_t rate,
                                         vorn3_log_function log, void* user, vorn3_tune** tune);

/* What vorn3_probe says of a file. */
#define VORN3_PROBE_NOT_A_MODULE 0 /* no format this library plays shows */
#define VORN3_PROBE_LOADS 1        /* its format shows and the file holds its whole header */
#define VORN3_PROBE_CUT_SHORT 2    /* its format shows, but the file ends inside its header */
#define VORN3_PROBE_NEED_MORE 3    /* too few bytes to tell: give more of them */
/* The most vorn3_probe reads; fewer do when the file is shorter. */
#define VORN3_PROBE_BYTES 1084

typedef struct vorn3_probe_result {
    int32_t verdict; /* a VORN3_PROBE_ value */
    char format[8];  /* "XM", "MOD", "S3M" or "IT"; "" when none shows */
} vorn3_probe_result;

/* Whether and as what a file would load, from its first size bytes at data and its whole
 * size in bytes (file_size; -1 when not known), without loading it. A file that probes
 * as loading may still fail further on (damaged instruments or patterns). A null data
 * with size 0 needs more. Any thread. */
VORN3_API vorn3_probe_result vorn3_probe(const void* data, size_t size, int64_t file_size);
/* Releases the tune with everything it owns; nothing for null. */
VORN3_API void vorn3_free(vorn3_tune* tune);

/* What the module holds; all zero for null. Any thread. */
VORN3_API vorn3_info vorn3_get_info(const vorn3_tune* tune);
/* The song's message, lines ended by '\n'; "" when it has none and for null. Valid until
 * the tune is freed. Any thread. */
VORN3_API const char* vorn3_message(const vorn3_tune* tune);
/* Names of the instruments and of the samples (0-based, samples instrument by
 * instrument); "" outside the count and for null. Valid until the tune is freed. Any
 * thread. */
VORN3_API const char* vorn3_instrument_name(const vorn3_tune* tune, int32_t index);
VORN3_API const char* vorn3_sample_name(const vorn3_tune* tune, int32_t index);

/* The next frames stereo frames into destination (frames × 2 values, left first):
 * 16-bit, or floats with full scale at ±1 and nothing clipped. Returns the frames
 * written: frames, fewer at the end of the last pass, 0 after it, for a negative count,
 * a null destination and for null. */
VORN3_API int32_t vorn3_render_s16(vorn3_tune* tune, int16_t* destination, int32_t frames);
VORN3_API int32_t vorn3_render_float(vorn3_tune* tune, float* destination, int32_t frames);

/* Passes before the tune ends: 1 at first, VORN3_PLAY_FOREVER for no end; a negative
 * count is taken as VORN3_PLAY_FOREVER. A pass ends where playback comes to a row it has
 * already played (after a jump, a break or the last order), except for rows a pattern
 * loop repeats. */
VORN3_API void vorn3_set_passes(vorn3_tune* tune, int32_t passes);
/* Seconds of one pass of the subsong playing, found without mixing; 0 for null. */
VORN3_API double vorn3_duration(const vorn3_tune* tune);

/* A subsong is a part of the order list that playback from an earlier one never reaches:
 * the first starts at order 0, each other at the first order no pass of an earlier one
 * plays (sections that separators end, or orders only a jump leads to). */
typedef struct vorn3_subsong {
    int32_t first_order;
    double seconds; /* of one pass */
} vorn3_subsong;

/* The subsong at index (0-based, below vorn3_info's subsongs); first_order -1 and 0
 * seconds outside the count and for null. Any thread. */
VORN3_API vorn3_subsong vorn3_get_subsong(const vorn3_tune* tune, int32_t index);
/* Plays the subsong at index from its start, before or while rendering (0 at first): its
 * end and passes, the rows seeking reaches and vorn3_duration are its own. Fails, with
 * nothing changed, for an index outside the count and for null. */
VORN3_API vorn3_status vorn3_select_subsong(vorn3_tune* tune, int32_t index);

/* Moves playback to a time in seconds (from the start of the subsong playing; beyond the
 * end it lands at the end) or to the first time a pass plays an order's row, arriving
 * with the state a straight play would have there. A row no pass plays, a negative or
 * not-a-number time fail, leaving playback at the start. Fails for null. */
VORN3_API vorn3_status vorn3_seek_time(vorn3_tune* tune, double seconds);
VORN3_API vorn3_status vorn3_seek_position(vorn3_tune* tune, int32_t order, int32_t row);
/* The order and row being computed, up to 20 ms ahead of the frames handed out (the
 * sought row right after a seek), and the time of the next frame to be handed out, in
 * seconds from the start of the subsong; each pointer may be null. All 0 for null. Any
 * thread, also while another renders the tune. */
VORN3_API void vorn3_get_position(const vorn3_tune* tune, int32_t* order, int32_t* row,
                                  double* seconds);

/* What one channel plays, for a host drawing it. */
typedef struct vorn3_channel_state {
    int32_t note;       /* 1..120 (1 is C-0) of the note sounding; 0: none */
    int32_t instrument; /* 1-based, as the file numbers them; 0: none */
    int32_t volume;     /* 0..64, the channel's note volume */
    float level;        /* peak of what the channel added to the last 20 ms rendered, 1 full
                           scale (after the gain); 0 when silent or muted, and until the
                           first render after a call that asked for channels */
} vorn3_channel_state;

typedef struct vorn3_state {
    int32_t subsong;
    int32_t order; /* as vorn3_get_position */
    int32_t pattern;
    int32_t row;
    int32_t speed; /* ticks per row */
    int32_t bpm;
    double seconds;   /* as vorn3_get_position */
    int32_t channels; /* of the module, however many were asked for */
} vorn3_state;

/* Where playback is and what it plays, as of the last render, seek or subsong choice: the
 * state, and the first `count` channels' into channels (which may be null when count is
 * 0; channels beyond the module's are zeroed). All zero for null. Any thread, also while
 * another renders the tune. */
VORN3_API vorn3_state vorn3_get_state(const vorn3_tune* tune, vorn3_channel_state* channels,
                                      int32_t count);

/* Rows of the pattern at index (0-based, below vorn3_info's patterns); 0 outside them and
 * for null. Any thread. */
VORN3_API int32_t vorn3_pattern_rows(const vorn3_tune* tune, int32_t pattern);
/* The cell at row and channel (0-based) of the pattern as trackers show it: note,
 * instrument, volume column and effect, dots where empty ("C-5 01 v64 A0F", "... .. ...
 * ..."; XM and MOD name effects with digits and letters, S3M and IT with letters), into
 * text, which holds size bytes (VORN3_CELL_TEXT_BYTES hold any cell) and always ends in
 * a zero byte when size is above 0. Returns the length of the whole text without its
 * zero byte: more than size - 1 when it was cut; 0 and "" outside the pattern and for
 * null. Any thread. */
#define VORN3_CELL_TEXT_BYTES 16
VORN3_API int32_t vorn3_cell_text(const vorn3_tune* tune, int32_t pattern, int32_t row,
                                  int32_t channel, char* text, size_t size);

/* A muted channel (0-based) plays silently and its rows go on; a channel outside the
 * module's is ignored. */
VORN3_API void vorn3_mute_channel(vorn3_tune* tune, int32_t channel, int32_t muted);

/* How far every panning lies from the centre, in percent (0..100, values beyond are
 * clamped) of what the module gives: VORN3_DEFAULT_STEREO_SEPARATION at first, 0 all in
 * the centre. MOD channels pan hard left, right, right, left. Takes effect at each
 * channel's next note. */
#define VORN3_DEFAULT_STEREO_SEPARATION 100
VORN3_API void vorn3_set_stereo_separation(vorn3_tune* tune, int32_t percent);

/* Scales the frames rendered from the next call on by decibels: 0 at first (the sound as
 * mixed, to the bit), kept within -96..24; a value that is not a number changes nothing. */
VORN3_API void vorn3_set_gain(vorn3_tune* tune, double decibels);

/* How voices read between a sample's frames: the nearest frame; a line between the two
 * around the position (the default); a cubic through the four around it; a windowed sinc
 * over eight, its cutoff lowered for notes that step over frames so that they do not
 * alias. Takes effect from the next 20 ms mixed. Fails, with nothing changed, for any
 * other mode and for null. Any thread. */
#define VORN3_INTERPOLATION_NEAREST 0
#define VORN3_INTERPOLATION_LINEAR 1
#define VORN3_INTERPOLATION_CUBIC 2
#define VORN3_INTERPOLATION_SINC 3
VORN3_API vorn3_status vorn3_set_interpolation(vorn3_tune* tune, int32_t mode);
/* The mode set last; -1 for null. Any thread. */
VORN3_API int32_t vorn3_get_interpolation(const vorn3_tune* tune);

#ifdef __cplusplus
}
#endif

#endif

/* Vorn3 for C and other languages: modules rendered on the caller's thread at the
 * caller's rate, with no device and no thread. Plain types only; nothing exits or
 * throws. Every function takes a null tune as a tune that does nothing. */
#ifndef VORN3_C_H
#define VORN3_C_H

#include <stddef.h>
#include <stdint.h>

#include "vorn3/export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vorn3_tune vorn3_tune;

/* ok is 1 on success; else 0 with message saying why. */
typedef struct vorn3_status {
    int32_t ok;
    char message[160];
} vorn3_status;

typedef struct vorn3_info {
    char title[32];
    char tracker[32];
    char format[32];
    int32_t channels;
    int32_t orders;
    int32_t patterns;
    int32_t instruments;
    int32_t samples;
    int32_t linear_frequencies; /* 1: linear, 0: Amiga periods */
    int32_t speed;              /* initial ticks per row */
    int32_t bpm;                /* initial beats per minute */
} vorn3_info;

/* Every pass, for vorn3_set_passes. */
#define VORN3_PLAY_FOREVER 0

/* Reads a module from memory (copied as needed) or a file, to be rendered at rate Hz
 * (8000..384000). On success *tune is the new tune, else null. */
VORN3_API vorn3_status vorn3_load(const void* data, size_t size, int32_t rate, vorn3_tune** tune);
VORN3_API vorn3_status vorn3_load_file(const char* path, int32_t rate, vorn3_tune** tune);
/* Releases the tune with everything it owns; nothing for null. As with free(), the tune
 * must not be used or freed again afterwards: that is the caller's error. */
VORN3_API void vorn3_free(vorn3_tune* tune);

VORN3_API vorn3_info vorn3_get_info(const vorn3_tune* tune);
/* Names of the instruments and of the samples, instrument by instrument; "" past the
 * last. Valid until the tune is freed. */
VORN3_API const char* vorn3_instrument_name(const vorn3_tune* tune, int32_t index);
VORN3_API const char* vorn3_sample_name(const vorn3_tune* tune, int32_t index);

/* The next frames stereo frames, left first; fewer at the end of the last pass. */
VORN3_API int32_t vorn3_render_s16(vorn3_tune* tune, int16_t* destination, int32_t frames);
VORN3_API int32_t vorn3_render_float(vorn3_tune* tune, float* destination, int32_t frames);

/* Passes before the tune ends: 1 at first. A pass ends where playback comes to a row it
 * has already played (after a jump, a break or the last order). */
VORN3_API void vorn3_set_passes(vorn3_tune* tune, int32_t passes);
/* Seconds of one pass, found without mixing. */
VORN3_API double vorn3_duration(const vorn3_tune* tune);

VORN3_API vorn3_status vorn3_seek_time(vorn3_tune* tune, double seconds);
VORN3_API vorn3_status vorn3_seek_position(vorn3_tune* tune, int32_t order, int32_t row);
VORN3_API void vorn3_get_position(const vorn3_tune* tune, int32_t* order, int32_t* row,
                                  double* seconds);

VORN3_API void vorn3_mute_channel(vorn3_tune* tune, int32_t channel, int32_t muted);

/* How far every panning lies from the centre, in percent (0..100) of what the module
 * gives: VORN3_DEFAULT_STEREO_SEPARATION at first, 0 all in the centre. MOD channels pan
 * hard left, right, right, left. Takes effect at each channel's next note. */
#define VORN3_DEFAULT_STEREO_SEPARATION 100
VORN3_API void vorn3_set_stereo_separation(vorn3_tune* tune, int32_t percent);

/* Scales the frames rendered from the next call on by decibels: 0 at first (the sound as
 * mixed, to the bit), kept within -96..24; a value that is not a number changes nothing. */
VORN3_API void vorn3_set_gain(vorn3_tune* tune, double decibels);

#ifdef __cplusplus
}
#endif

#endif

/* The C interface from a C program: vorn3_c_interface_test MODULE.xm */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vorn3/vorn3_c.h"

static int failures = 0;

static void check(int condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "failed: %s\n", what);
        failures += 1;
    }
}

enum { kRate = 44100, kFrames = 4410 };

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    vorn3_tune* tune = NULL;
    const char garbage[64] = "not a module";
    vorn3_status status = vorn3_load(garbage, sizeof garbage, kRate, &tune);
    check(!status.ok && tune == NULL && status.message[0] != '\0', "garbage is refused");
    status = vorn3_load_file("/nonexistent.xm", kRate, &tune);
    check(!status.ok && strstr(status.message, "No such file") != NULL, "a missing file");

    check(vorn3_version() == VORN3_VERSION_NUMBER, "the library is this header's version");
    check(strcmp(vorn3_version_text(), VORN3_VERSION_TEXT) == 0, "the version as text");
    check(vorn3_get_info(NULL).subsongs == 0 && vorn3_get_subsong(NULL, 0).first_order == -1,
          "a null tune holds nothing");
    status = vorn3_load_file(argv[1], kRate, &tune);
    check(status.ok && tune != NULL, status.message);
    if (!tune) return 1;
    const vorn3_info info = vorn3_get_info(tune);
    check(info.channels == 12, "channels");
    check(strncmp(info.format, "XM ", 3) == 0, "format");
    check(info.instruments > 0 && info.samples >= info.instruments, "instruments and samples");
    check(vorn3_instrument_name(tune, info.instruments)[0] == '\0', "no name past the last");
    check(vorn3_duration(tune) > 60.0, "duration");

    static int16_t integers[2 * kFrames];
    static float floats[2 * kFrames];
    check(vorn3_render_s16(tune, integers, kFrames) == kFrames, "16-bit frames");
    check(vorn3_seek_time(tune, 0.0).ok, "seek to the start");
    check(vorn3_render_float(tune, floats, kFrames) == kFrames, "float frames");
    int same = 1;
    int loud = 0;
    for (int i = 0; i < 2 * kFrames; ++i) {
        const float scaled = fminf(fmaxf(floats[i] * 32768.0f, -32768.0f), 32767.0f);
        same = same && integers[i] == (int16_t)nearbyintf(scaled);
        loud = loud || integers[i] != 0;
    }
    check(same && loud, "floats and integers are the same mix");

    check(vorn3_seek_position(tune, 1, 0).ok, "seek to order 1");
    int32_t order = -1;
    int32_t row = -1;
    double seconds = -1;
    vorn3_get_position(tune, &order, &row, &seconds);
    check(seconds > 0, "position after the seek");
    check(!vorn3_seek_position(tune, 999, 0).ok, "no such order");
    for (int32_t channel = 0; channel < info.channels; ++channel)
        vorn3_mute_channel(tune, channel, 1);
    vorn3_seek_time(tune, 0.0);
    vorn3_render_s16(tune, integers, kFrames);
    int silent = 1;
    for (int i = 0; i < 2 * kFrames; ++i)
        silent = silent && integers[i] == 0;
    check(silent, "every channel muted");
    /* Without separation both sides get the same gain, within a step of 8 bits. */
    for (int32_t channel = 0; channel < info.channels; ++channel)
        vorn3_mute_channel(tune, channel, 0);
    vorn3_set_stereo_separation(tune, 0);
    vorn3_seek_time(tune, 0.0);
    vorn3_render_s16(tune, integers, kFrames);
    double sides = 0;
    double level = 0;
    for (int i = 0; i < kFrames; ++i) {
        sides += abs(integers[2 * i] - integers[2 * i + 1]);
        level += abs(integers[2 * i]);
    }
    check(level > 0 && sides < level / 32, "no stereo separation");
    vorn3_set_stereo_separation(NULL, 50);
    vorn3_set_passes(tune, VORN3_PLAY_FOREVER);
    vorn3_free(tune);
    vorn3_free(NULL);
    printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}

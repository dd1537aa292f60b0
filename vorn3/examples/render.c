/* Renders the first seconds of a module and prints what it is and how loud it played:
 *   render_c MODULE [SECONDS] */
#include <stdio.h>
#include <stdlib.h>

#include <vorn3/vorn3_c.h>

enum { kRate = 48000, kFrames = 1024 };

int main(int argc, char** argv) {
    if (argc < 2) {
        fputs("usage: render_c MODULE [SECONDS]\n", stderr);
        return 2;
    }
    const double seconds = argc > 2 ? atof(argv[2]) : 1.0;
    vorn3_tune* tune = NULL;
    const vorn3_status status = vorn3_load_file(argv[1], kRate, &tune);
    if (!status.ok) {
        fprintf(stderr, "%s: %s\n", argv[1], status.message);
        return 1;
    }
    const vorn3_info info = vorn3_get_info(tune);
    printf("%s: \"%s\", %s, %d channels\n", argv[1], info.title, info.format, info.channels);
    int16_t frames[2 * kFrames];
    int32_t peak = 0;
    for (double done = 0; done < seconds * kRate;) {
        const int32_t rendered = vorn3_render_s16(tune, frames, kFrames);
        if (rendered == 0) break;
        for (int32_t i = 0; i < 2 * rendered; ++i) {
            const int32_t level = abs(frames[i]);
            if (level > peak) peak = level;
        }
        done += rendered;
    }
    printf("peak %d of 32767\n", peak);
    vorn3_free(tune);
    return 0;
}

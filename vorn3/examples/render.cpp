// Renders the first seconds of a module and prints what it is and how loud it played:
//   render_cpp MODULE [SECONDS]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <vorn3/vorn3.h>

int main(int argc, char** argv) {
    constexpr std::int32_t kRate = 48000;
    constexpr std::int32_t kFrames = 1024;
    if (argc < 2) {
        std::fputs("usage: render_cpp MODULE [SECONDS]\n", stderr);
        return 2;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 1.0;
    const vorn3::TuneLoad load = vorn3::tuneLoadFile(argv[1], kRate);
    if (!load.status.ok) {
        std::fprintf(stderr, "%s: %s\n", argv[1], load.status.message.c_str());
        return 1;
    }
    vorn3::Tune& tune = *load.tune;
    const vorn3::ModuleInfo info = vorn3::tuneInfo(tune);
    std::printf("%s: \"%s\", %s, %d channels\n", argv[1], info.title.c_str(), info.format.c_str(),
                info.channels);
    std::vector<float> frames(2 * kFrames);
    float peak = 0;
    for (double done = 0; done < seconds * kRate;) {
        const std::int32_t rendered = vorn3::tuneRender(tune, frames.data(), kFrames);
        if (rendered == 0) break;
        for (std::int32_t i = 0; i < 2 * rendered; ++i)
            peak = std::max(peak, std::abs(frames[i]));
        done += rendered;
    }
    std::printf("peak %.3f of 1\n", peak);
    vorn3::tuneFree(load.tune);
    return 0;
}

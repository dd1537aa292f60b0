// Runs the show deterministically, as fast as the machine allows, and reports what a
// viewer would see: the timeline's events, or chosen frames as PNG files.
//
//   glint-capture --timeline [--fps N]
//   glint-capture --frames T1,T2,... --out DIR [--fps N]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gfx/results.h"
#include "platform/image/png_writer.h"
#include "platform/resources.h"
#include "shell/deterministic_show.h"

namespace {

using glint::ShowEvent;

constexpr std::int32_t kDefaultFps = 60;
constexpr std::int32_t kMaxFps = 1000;
// Without a song the show never ends; a run stops here, well past the show's length.
constexpr float kLastSceneTime = 2000.0f;

const char kUsage[] =
    "usage: glint-capture --timeline [--fps N]\n"
    "       glint-capture --frames T1,T2,... --out DIR [--fps N]\n"
    "\n"
    "Runs the show deterministically on a virtual clock and a virtual sound device.\n"
    "  --timeline        print each event: 'tau=<t> scene <a> -> <b>', 'tau=<t> flash',\n"
    "                    'tau=<t> quit' (t in tenths of a second since the music started)\n"
    "  --frames T,...    save the first frame at or after each scene time T as\n"
    "                    DIR/frame-<t>.png\n"
    "  --out DIR         folder for --frames (created if missing)\n"
    "  --fps N           frames per second of the run (default 60)\n";

struct Options {
    bool timeline = false;
    std::vector<float> frameTimes;  // ascending
    std::string outDir;
    std::int32_t fps = kDefaultFps;
};

bool parseTimes(const std::string& list, std::vector<float>& times) {
    std::stringstream items(list);
    std::string item;
    while (std::getline(items, item, ',')) {
        char* end = nullptr;
        const float time = std::strtof(item.c_str(), &end);
        if (item.empty() || *end != '\0' || !(time >= 0.0f)) return false;
        times.push_back(time);
    }
    std::sort(times.begin(), times.end());
    return !times.empty();
}

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--timeline") {
            options.timeline = true;
        } else if (argument == "--frames" && hasValue) {
            if (!parseTimes(argv[++i], options.frameTimes)) return false;
        } else if (argument == "--out" && hasValue) {
            options.outDir = argv[++i];
        } else if (argument == "--fps" && hasValue) {
            options.fps = std::atoi(argv[++i]);
            if (options.fps < 1 || options.fps > kMaxFps) return false;
        } else {
            return false;
        }
    }
    const bool savesFrames = !options.frameTimes.empty();
    return options.timeline != savesFrames && (!savesFrames || !options.outDir.empty());
}

void printEvent(const ShowEvent& event) {
    switch (event.kind) {
        case ShowEvent::Kind::sceneChange:
            std::printf("tau=%.2f scene %d -> %d\n", event.sceneTime, event.fromScene,
                        event.toScene);
            break;
        case ShowEvent::Kind::flash:
            std::printf("tau=%.2f flash\n", event.sceneTime);
            break;
        case ShowEvent::Kind::quit:
            std::printf("tau=%.2f quit\n", event.sceneTime);
            break;
    }
}

std::string framePath(const std::string& folder, float sceneTime) {
    char name[64];
    std::snprintf(name, sizeof name, "frame-%.2f.png", sceneTime);
    return (std::filesystem::path(folder) / name).string();
}

int run(const Options& options) {
    if (!options.outDir.empty()) std::filesystem::create_directories(options.outDir);
    glint::useResources(glint::embeddedResources());
    glint::DeterministicShow show(options.fps);
    const std::int32_t started = glint::startDeterministicShow(show);
    if (glint::gfx::failed(started)) {
        std::fprintf(stderr, "glint-capture: no device (error 0x%08X)\n",
                     static_cast<unsigned>(started));
        return 1;
    }
    std::size_t nextSaved = 0;
    std::vector<ShowEvent> events;
    while (show.shell.sceneTime <= kLastSceneTime && advanceFrame(show, events)) {
        for (const ShowEvent& event : events) {
            if (options.timeline) printEvent(event);
        }
        events.clear();
        const float sceneTime = show.shell.sceneTime;
        while (nextSaved < options.frameTimes.size() &&
               options.frameTimes[nextSaved] <= sceneTime) {
            const glint::gfx::Surface* frame = lastFrame(show);
            const std::string path = framePath(options.outDir, options.frameTimes[nextSaved]);
            if (frame == nullptr ||
                !glint::image::writePng(path, frame->width, frame->height, frame->pixels.data())) {
                std::fprintf(stderr, "glint-capture: cannot write %s\n", path.c_str());
                return 1;
            }
            ++nextSaved;
        }
        if (!options.timeline && nextSaved == options.frameTimes.size()) return 0;
    }
    if (!show.quitSeen) {
        std::fprintf(stderr, "glint-capture: the show did not end by tau=%.2f\n", kLastSceneTime);
        return 1;
    }
    return nextSaved == options.frameTimes.size() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (argc == 2 && std::string_view(argv[1]) == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!parseOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    return run(options);
}

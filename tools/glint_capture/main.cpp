// Runs the show deterministically, as fast as the machine allows, and reports what a
// viewer would see: the timeline's events, chosen frames as PNG files, or the whole
// show as a video file with its sound.
//
//   glint-capture --timeline [--fps N]
//   glint-capture --frames T1,T2,... --out DIR [--fps N] [--size WxH]
//   glint-capture --video FILE [--format mp4|webm] [--seconds S] [--fps N] [--size WxH]
//   any of them with [--threads N]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "command_line/command_line.h"
#include "platform/gfx/results.h"
#include "platform/image/png_writer.h"
#include "platform/resources.h"
#include "shell/deterministic_show.h"
#include "shell/music.h"
#include "shell/options.h"
#include "tools/glint_capture/progress_bar.h"
#include "tools/glint_capture/video_encoder.h"

namespace {

using commandline::parseReal;
using commandline::parseWhole;
using glint::ShowEvent;

constexpr std::int32_t kDefaultFps = 60;
constexpr std::int32_t kMaxFps = 1000;
// Without a song the show never ends; a run stops here, well past the show's length.
constexpr float kLastSceneTime = 2000.0f;
// How long the show runs with its own song: the progress bar's whole.
constexpr double kExpectedShowSeconds = 162.4;
constexpr double kNoLimit = std::numeric_limits<double>::max();

const char kUsage[] =
    "usage: glint-capture --timeline [--fps N]\n"
    "       glint-capture --frames T1,T2,... --out DIR [--fps N] [--size WxH]\n"
    "       glint-capture --video FILE [--format mp4|webm] [--seconds S] [--fps N]\n"
    "                     [--size WxH]\n"
    "\n"
    "Runs the show deterministically on a virtual clock and a virtual sound device.\n"
    "  --timeline        print each event: 'tau=<t> scene <a> -> <b>', 'tau=<t> flash',\n"
    "                    'tau=<t> quit' (t in tenths of a second since the music started)\n"
    "  --frames T,...    save the first frame at or after each scene time T as\n"
    "                    DIR/frame-<t>.png\n"
    "  --out DIR         folder for --frames (created if missing)\n"
    "  --video FILE      record the show with its sound through ffmpeg: H.264 and AAC\n"
    "                    in MP4, or VP9 and Opus in WebM with --format webm\n"
    "  --seconds S       stop after S seconds of the show\n"
    "  --fps N           frames per second of the run (default 60)\n"
    "  --size WxH        draw at W x H pixels, the 4:3 picture in the middle with black\n"
    "                    bars (default 640x480; 1920x1080 for a 1080p video; a video's\n"
    "                    sides must be even)\n"
    "  --threads N       threads drawing the pictures (default GLINT_THREADS, or one\n"
    "                    per core); the pictures are the same whatever the count\n"
    "  -h, --help        show this and exit\n";

struct Options {
    bool help = false;
    bool timeline = false;
    std::vector<float> frameTimes;  // ascending
    std::string outDir;
    std::string videoPath;
    glint::capture::VideoFormat videoFormat = glint::capture::VideoFormat::mp4;
    std::int32_t fps = kDefaultFps;
    double seconds = 0;        // 0: until the show ends
    std::int32_t threads = 0;  // 0: the device's own choice
    std::int32_t width = glint::kWindowWidth;
    std::int32_t height = glint::kWindowHeight;
};

bool parseTimes(std::string_view list, std::vector<float>& times) {
    times.clear();
    for (std::size_t from = 0; from <= list.size();) {
        const std::size_t comma = std::min(list.find(',', from), list.size());
        double time = 0;
        if (!parseReal(list.substr(from, comma - from), 0, kNoLimit, time)) return false;
        times.push_back(static_cast<float>(time));
        from = comma + 1;
    }
    std::sort(times.begin(), times.end());
    return true;
}

bool parseFormat(std::string_view text, glint::capture::VideoFormat& format) {
    if (text != "mp4" && text != "webm") return false;
    format = text == "mp4" ? glint::capture::VideoFormat::mp4 : glint::capture::VideoFormat::webm;
    return true;
}

bool parseFileName(std::string_view text, std::string& name) {
    name = text;
    return commandline::isFileName(text);
}

const commandline::OptionRule<Options> kOptions[] = {
    {"help", 'h', nullptr, [](Options& o, std::string_view) { return o.help = true; }},
    {"timeline", 0, nullptr, [](Options& o, std::string_view) { return o.timeline = true; }},
    {"frames", 0, "scene times in seconds like 0,12.5",
     [](Options& o, std::string_view v) { return parseTimes(v, o.frameTimes); }},
    {"out", 0, "a folder name",
     [](Options& o, std::string_view v) { return parseFileName(v, o.outDir); }},
    {"video", 0, "a file name",
     [](Options& o, std::string_view v) { return parseFileName(v, o.videoPath); }},
    {"format", 0, "mp4 or webm",
     [](Options& o, std::string_view v) { return parseFormat(v, o.videoFormat); }},
    {"seconds", 0, "a time in seconds above 0",
     [](Options& o, std::string_view v) {
         return parseReal(v, 0, kNoLimit, o.seconds) && o.seconds > 0;
     }},
    {"fps", 0, "a whole number from 1 to 1000",
     [](Options& o, std::string_view v) { return parseWhole(v, 1, kMaxFps, o.fps); }},
    {"size", 0, glint::kDrawSizeRule,
     [](Options& o, std::string_view v) { return glint::parseDrawSize(v, o.width, o.height); }},
    {"threads", 0, "a whole number from 1 to 64",
     [](Options& o, std::string_view v) {
         return parseWhole(v, 1, glint::gfx::kMaxDrawingThreads, o.threads);
     }},
};

// What the options together must be; empty when they are.
std::string conflictOf(const Options& options) {
    const bool savesFrames = !options.frameTimes.empty();
    const bool records = !options.videoPath.empty();
    if (int(options.timeline) + int(savesFrames) + int(records) != 1) {
        return "one of --timeline, --frames and --video, please";
    }
    if (savesFrames && options.outDir.empty()) return "--frames needs --out DIR";
    // Both codecs keep colour at half the resolution each way.
    const bool evenSides = options.width % 2 == 0 && options.height % 2 == 0;
    if (records && !evenSides) return "--video needs a --size with even sides";
    return {};
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

bool saveFrames(const Options& options, const glint::DeterministicShow& show,
                std::size_t& nextSaved) {
    while (nextSaved < options.frameTimes.size() &&
           options.frameTimes[nextSaved] <= show.shell.sceneTime) {
        const glint::gfx::Surface* frame = lastFrame(show);
        const std::string path = framePath(options.outDir, options.frameTimes[nextSaved]);
        if (frame == nullptr ||
            !glint::image::writePng(path, frame->width, frame->height, frame->pixels.data())) {
            std::fprintf(stderr, "glint-capture: cannot write %s\n", path.c_str());
            return false;
        }
        ++nextSaved;
    }
    return true;
}

int fail(const std::string& reason) {
    std::fprintf(stderr, "glint-capture: %s\n", reason.c_str());
    return 1;
}

int run(const Options& options) {
    using namespace glint::capture;
    if (!options.outDir.empty()) std::filesystem::create_directories(options.outDir);
    glint::useResources(glint::embeddedResources());
    glint::DeterministicShow show(options.fps, options.width, options.height);
    // The events do not depend on the pictures: the timeline alone runs without drawing.
    show.graphics.drawsPictures = !options.timeline;
    show.graphics.drawingThreads.count = options.threads;
    const std::int32_t started = glint::startDeterministicShow(show);
    if (glint::gfx::failed(started)) {
        std::fprintf(stderr, "glint-capture: no device (error 0x%08X)\n",
                     static_cast<unsigned>(started));
        return 1;
    }

    const bool recording = !options.videoPath.empty();
    std::string error;
    VideoEncoder encoder;
    std::vector<std::int16_t> heard;
    if (recording) {
        if (!openVideoEncoder(encoder, options.videoPath, options.videoFormat, options.width,
                              options.height, options.fps, error)) {
            return fail(error);
        }
        show.heard = &heard;
    }
    const double seconds = options.seconds > 0 ? options.seconds : kExpectedShowSeconds;
    const auto frameLimit = static_cast<std::int64_t>(options.seconds * options.fps);
    ProgressBar bar = startProgress(static_cast<std::int64_t>(seconds * options.fps));

    std::size_t nextSaved = 0;
    std::vector<ShowEvent> events;
    while (show.shell.sceneTime <= kLastSceneTime &&
           (frameLimit == 0 || show.nextFrame < frameLimit) && advanceFrame(show, events)) {
        for (const ShowEvent& event : events) {
            if (options.timeline) printEvent(event);
        }
        events.clear();
        if (!saveFrames(options, show, nextSaved)) return 1;
        if (!options.frameTimes.empty() && nextSaved == options.frameTimes.size()) return 0;
        if (recording) {
            if (!encodeFrame(encoder, *lastFrame(show)) || !encodeSound(encoder, heard)) {
                finishProgress(bar, show.nextFrame);
                closeVideoEncoder(encoder, glint::kOutputRate, error);
                return fail("ffmpeg stopped taking frames");
            }
            heard.clear();
            showProgress(bar, show.nextFrame);
        }
    }
    if (recording) {
        finishProgress(bar, show.nextFrame);
        if (!closeVideoEncoder(encoder, glint::kOutputRate, error)) return fail(error);
        std::printf("glint-capture: wrote %s\n", options.videoPath.c_str());
        return 0;
    }
    if (frameLimit == 0 && !show.quitSeen) {
        return fail("the show did not end by tau=2000.00");
    }
    return nextSaved == options.frameTimes.size() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::vector<std::string> operands;
    std::string error;
    if (!commandline::parseCommandLine<Options>(argc, argv, kOptions, options, operands, error)) {
        return commandline::usageError("glint-capture", error);
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!operands.empty()) error = "unexpected argument '" + operands.front() + "'";
    if (error.empty()) error = conflictOf(options);
    if (!error.empty()) return commandline::usageError("glint-capture", error);
    return run(options);
}

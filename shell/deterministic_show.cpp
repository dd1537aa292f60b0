#include "shell/deterministic_show.h"

#include <algorithm>

#include "scenes/timeline.h"
#include "shell/music.h"

namespace glint {
namespace {

constexpr std::int64_t kMsPerSecond = 1000;
// The output fills 20 ms chunks, rounded up to whole groups of 4 frames.
constexpr std::int64_t kChunkFrames = (kOutputRate * 20 / 1000 + 3) / 4 * 4;

// Plays the device to `target` frames since it opened, refilling the ring each time
// the device leaves a chunk.
void playSoundTo(DeterministicShow& show, std::uint64_t target) {
    while (show.framesHeard < target) {
        const std::uint64_t chunkEnd =
            (show.framesHeard / kChunkFrames + 1) * static_cast<std::uint64_t>(kChunkFrames);
        const auto frames =
            static_cast<std::int32_t>(std::min(target, chunkEnd) - show.framesHeard);
        std::int16_t* heard = nullptr;
        if (show.heard != nullptr) {
            const std::size_t start = show.heard->size();
            show.heard->resize(start + static_cast<std::size_t>(frames) * 2);
            heard = show.heard->data() + start;
        }
        show.sound.play(frames, heard);
        show.framesHeard += static_cast<std::uint64_t>(frames);
        while (vorn3::pumpAudio()) {
        }
    }
}

void recordEvents(DeterministicShow& show, std::int32_t sceneBefore, std::uint32_t flashesBefore,
                  std::vector<ShowEvent>& events) {
    const float sceneTime = show.shell.sceneTime;
    for (std::int32_t scene = sceneBefore; scene < timeline().sceneIndex; ++scene) {
        events.push_back({ShowEvent::Kind::sceneChange, sceneTime, scene, scene + 1});
    }
    const bool flashed = timeline().flashCount != flashesBefore;
    if (flashed && !show.flashing) events.push_back({ShowEvent::Kind::flash, sceneTime});
    show.flashing = flashed;
    if (show.window.quitPosted() && !show.quitSeen) {
        show.quitSeen = true;
        events.push_back({ShowEvent::Kind::quit, sceneTime});
    }
}

}  // namespace

DeterministicShow::DeterministicShow(std::int32_t rate, std::int32_t width, std::int32_t height)
    : framesPerSecond(rate) {
    window.width = width;
    window.height = height;
    shell.audio = &sound;
    shell.mixing = vorn3::MixingDriver::host;
}

DeterministicShow::~DeterministicShow() {
    stopMusic();
}

std::int32_t startDeterministicShow(DeterministicShow& show) {
    return startShow(show.shell);
}

bool advanceFrame(DeterministicShow& show, std::vector<ShowEvent>& events) {
    const std::int64_t frame = show.nextFrame++;
    const std::int64_t rate = show.framesPerSecond;
    playSoundTo(show, static_cast<std::uint64_t>(frame * kOutputRate / rate));
    show.clock.now = show.shell.startTime + static_cast<std::uint32_t>(frame * kMsPerSecond / rate);

    const std::int32_t sceneBefore = timeline().sceneIndex;
    const std::uint32_t flashesBefore = timeline().flashCount;
    if (!stepMessageLoop(show.shell, show.message)) return false;
    recordEvents(show, sceneBefore, flashesBefore, events);
    return true;
}

const gfx::Surface* lastFrame(const DeterministicShow& show) {
    return show.graphics.lastPresented();
}

}  // namespace glint

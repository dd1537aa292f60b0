// The show run frame by frame at a fixed rate on a virtual clock, a virtual sound
// device and an in-memory display, so that every run gives the same frames, the
// same sound and the same events. The sound device plays exactly as far as the
// frame's time, and the ring is refilled the moment the device leaves a chunk, as
// the mixing thread would within its poll.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/clock.h"
#include "platform/headless/headless_display.h"
#include "shell/shell.h"
#include "vorn3/player.h"

namespace glint {

struct ShowEvent {
    enum class Kind : std::uint8_t { sceneChange, flash, quit };
    Kind kind;
    float sceneTime;  // tenths of a second since the music started, of the frame
    std::int32_t fromScene = 0;
    std::int32_t toScene = 0;
};

struct DeterministicShow {
    // Draws at `width` × `height`, the 4:3 picture in the middle.
    explicit DeterministicShow(std::int32_t framesPerSecond, std::int32_t width = kWindowWidth,
                               std::int32_t height = kWindowHeight);
    // Frees the song and closes the output, which plays through `sound`.
    ~DeterministicShow();
    DeterministicShow(const DeterministicShow&) = delete;
    DeterministicShow& operator=(const DeterministicShow&) = delete;

    std::int32_t framesPerSecond;
    HeadlessWindow window;
    HeadlessGraphicsDriver graphics{window};
    VirtualClock clock;
    vorn3::VirtualWaveDevice sound;
    Shell shell{window, graphics, clock};
    WindowMessage message;
    std::int64_t nextFrame = 0;     // index of the frame advanceFrame draws next
    std::uint64_t framesHeard = 0;  // sound frames the device has played since it opened
    bool flashing = false;          // the last frame was a white flash
    bool quitSeen = false;
    std::vector<std::int16_t>* heard = nullptr;  // when set, gets every frame played (L, R)
};

// Start-up of the show on the in-memory window; the device creation result.
std::int32_t startDeterministicShow(DeterministicShow& show);

// Plays the sound up to the next frame's time, then draws that frame; its events are
// appended to `events` (a flash once, at the first frame of a run of white frames).
// False once the show has ended and no frame was drawn.
bool advanceFrame(DeterministicShow& show, std::vector<ShowEvent>& events);

// The colour target of the last frame drawn, or null before the first.
const gfx::Surface* lastFrame(const DeterministicShow& show);

}  // namespace glint

// The show in a web page. The page's script owns the loop, the clock and the sound, and
// calls these on its main thread: once an animation frame, and whenever its audio wants
// more sound. The frames are the desktop's; the sound is the ring the desktop's device
// plays, taken as fast as the page's audio takes it. Recorded mode is the deterministic
// show, frame by frame, for tests and measuring.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "engine/content.h"
#include "platform/headless/headless_display.h"
#include "platform/resources.h"
#include "platform/web/canvas_pixels.h"
#include "scenes/timeline.h"
#include "shell/deterministic_show.h"
#include "shell/music.h"
#include "shell/page_music.h"
#include "shell/shell.h"

namespace glint {
namespace {

// What the page's audio took first is kept for comparing with a render: ten seconds.
constexpr std::size_t kKeptSoundFrames = 10 * kOutputRate;

struct LiveShow {
    HeadlessWindow window;
    HeadlessGraphicsDriver graphics{window};
    VirtualClock clock;  // the page's, set before each frame
    Shell shell{window, graphics, clock};
    WindowMessage message;
    bool ended = false;
};

struct Page {
    std::unique_ptr<LiveShow> live;
    std::unique_ptr<DeterministicShow> recorded;
    std::vector<std::uint32_t> canvas;  // the last frame as the canvas takes it
    std::vector<std::int16_t> sound;    // what the page's audio took last
    std::vector<std::int16_t> firstSound;
    std::vector<ShowEvent> events;
    char hashText[17] = {};
};

Page page;

void endShows() {
    if (page.live) stopMusic();
    page.live.reset();
    page.recorded.reset();
    page.firstSound.clear();
    resetSceneContent();
    resetTimeline();
    useResources(embeddedResources());
}

// FNV-1a over bytes in memory order, as hex for the page.
template <typename Value>
const char* hashText(const Value* values, std::size_t count) {
    std::uint64_t hash = 14695981039346656037ull;
    const auto* bytes = reinterpret_cast<const unsigned char*>(values);
    for (std::size_t i = 0; i < count * sizeof(Value); ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    std::snprintf(page.hashText, sizeof page.hashText, "%016llx",
                  static_cast<unsigned long long>(hash));
    return page.hashText;
}

const gfx::Surface* shownFrame() {
    if (page.recorded) return lastFrame(*page.recorded);
    return page.live ? page.live->graphics.lastPresented() : nullptr;
}

bool step(LiveShow& live) {
    if (stepMessageLoop(live.shell, live.message)) return true;
    live.ended = true;
    stopMusic();
    return false;
}

}  // namespace
}  // namespace glint

using namespace glint;

extern "C" {

// Starts the show with `threads` drawing threads (1: all on the page's thread): the
// device creation result, negative on failure. Ends a show already running.
std::int32_t glintStart(std::int32_t threads) {
    endShows();
    page.live = std::make_unique<LiveShow>();
    LiveShow& live = *page.live;
    live.window.width = kWindowWidth;
    live.window.height = kWindowHeight;
    live.graphics.drawingThreads.count = threads;
    return startShow(live.shell);
}

// One animation frame at `nowMs` on the page's clock: every message waiting, then a
// frame. 0 once the show has ended (Escape, or the song's end), else 1.
std::int32_t glintFrame(double nowMs) {
    if (!page.live || page.live->ended) return 0;
    LiveShow& live = *page.live;
    live.clock.now = static_cast<std::uint32_t>(static_cast<std::uint64_t>(nowMs));
    while (live.window.pending()) {
        if (!step(live)) return 0;
    }
    return step(live) ? 1 : 0;
}

// A key the page took: 1 is Escape; others are ignored.
void glintKey(std::int32_t key) {
    if (!page.live || key != 1) return;
    WindowMessage message;
    message.kind = MessageKind::keyDown;
    message.key = Key::escape;
    page.live->window.post(message);
}

// The next `frames` stereo frames for the page's audio (frames × 2 values, left first);
// silence once the show has ended. Valid until the next call.
const std::int16_t* glintSound(std::int32_t frames) {
    page.sound.assign(static_cast<std::size_t>(std::max(frames, 0)) * 2, 0);
    if (!page.live || page.live->ended) return page.sound.data();
    pageSound().play(frames, page.sound.data());
    while (vorn3::pumpAudio()) {
    }
    const std::size_t keep =
        std::min(page.sound.size(), kKeptSoundFrames * 2 - page.firstSound.size());
    page.firstSound.insert(page.firstSound.end(), page.sound.begin(), page.sound.begin() + keep);
    return page.sound.data();
}

// The hash of the first `frames` frames the page's audio took, or "" before it took them.
const char* glintSoundHash(std::int32_t frames) {
    const auto values = static_cast<std::size_t>(frames) * 2;
    if (frames < 0 || page.firstSound.size() < values) return "";
    return hashText(page.firstSound.data(), values);
}

// Starts the deterministic show at `framesPerSecond`, drawing with `threads` threads.
std::int32_t glintStartRecorded(std::int32_t framesPerSecond, std::int32_t threads) {
    endShows();
    page.recorded = std::make_unique<DeterministicShow>(framesPerSecond);
    page.recorded->graphics.drawingThreads.count = threads;
    return startDeterministicShow(*page.recorded);
}

// Draws the deterministic show's next frame: 0 once it has ended.
std::int32_t glintAdvance() {
    if (!page.recorded) return 0;
    page.events.clear();
    return advanceFrame(*page.recorded, page.events) ? 1 : 0;
}

// The scene on show: 0 … 7, and 8 once the last has ended.
std::int32_t glintSceneIndex() {
    return timeline().sceneIndex;
}

// The hash of the last frame's pixels (0x00RRGGBB each), or "" before the first.
const char* glintFrameHash() {
    const gfx::Surface* frame = shownFrame();
    return frame ? hashText(frame->pixels.data(), frame->pixels.size()) : "";
}

// The last frame as RGBA bytes for the canvas, or null before the first; its size below.
const std::uint32_t* glintCanvas() {
    const gfx::Surface* frame = shownFrame();
    if (!frame) return nullptr;
    toCanvasPixels(*frame, page.canvas);
    return page.canvas.data();
}

std::int32_t glintFrameWidth() {
    const gfx::Surface* frame = shownFrame();
    return frame ? frame->width : 0;
}

std::int32_t glintFrameHeight() {
    const gfx::Surface* frame = shownFrame();
    return frame ? frame->height : 0;
}

}  // extern "C"

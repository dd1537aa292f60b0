// What the show's page must give, from the native build, as JSON for the browser test:
// the deterministic show at 10 frames a second and 640 × 480 (a frame a tenth of a
// second), the hashes of its frames at the golden times, the frames the scenes hand over
// on, and the hash of the first seconds of sound its device plays.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/resources.h"
#include "shell/deterministic_show.h"
#include "shell/music.h"
#include "tests/gl/show_frames.h"

namespace {

using namespace glint;

constexpr std::int32_t kFramesPerSecond = 10;
// The silent ring the device plays first (two seconds), then three of the song.
constexpr std::size_t kSoundFrames = 5 * kOutputRate;

template <typename Value>
std::uint64_t fnv1a(const Value* values, std::size_t count) {
    std::uint64_t hash = 14695981039346656037ull;
    const auto* bytes = reinterpret_cast<const unsigned char*>(values);
    for (std::size_t i = 0; i < count * sizeof(Value); ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

bool isGolden(std::int64_t frame) {
    for (const auto& times : test::kSceneFrames) {
        for (std::int32_t time : times) {
            if (time == frame) return true;
        }
    }
    return false;
}

}  // namespace

int main() {
    useResources(embeddedResources());
    DeterministicShow show(kFramesPerSecond);
    std::vector<std::int16_t> heard;
    show.heard = &heard;
    if (startDeterministicShow(show) != 0) return 1;
    std::vector<ShowEvent> events;
    std::printf("{\"framesPerSecond\": %d, \"frames\": {", kFramesPerSecond);
    const char* separator = "";
    std::vector<std::int64_t> handOvers;
    for (std::int64_t frame = 0; advanceFrame(show, events); ++frame) {
        for (const ShowEvent& event : events) {
            if (event.kind == ShowEvent::Kind::sceneChange) handOvers.push_back(frame);
        }
        events.clear();
        if (!isGolden(frame)) continue;
        const gfx::Surface& drawn = *lastFrame(show);
        std::printf(
            "%s\"%lld\": \"%016llx\"", separator, static_cast<long long>(frame),
            static_cast<unsigned long long>(fnv1a(drawn.pixels.data(), drawn.pixels.size())));
        separator = ", ";
    }
    std::printf("}, \"handOvers\": [");
    separator = "";
    for (std::int64_t frame : handOvers) {
        std::printf("%s%lld", separator, static_cast<long long>(frame));
        separator = ", ";
    }
    std::printf("], \"soundFrames\": %zu, \"sound\": \"%016llx\"}\n", kSoundFrames,
                static_cast<unsigned long long>(fnv1a(heard.data(), kSoundFrames * 2)));
    return 0;
}

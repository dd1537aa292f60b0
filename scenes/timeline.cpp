#include "scenes/timeline.h"

namespace glint {
namespace {

Timeline state;

// The dark blue most scenes clear to.
constexpr std::uint32_t kClearColour = 0x000A1428;

}  // namespace

Timeline& timeline() {
    return state;
}

void resetTimeline() {
    state = Timeline{};
}

std::int32_t runTimeline(gfx::Device& device, float) {
    device.clear(gfx::kClearTarget | gfx::kClearZBuffer, kClearColour, 1.0f);
    device.beginScene();
    device.endScene();
    return 0;
}

}  // namespace glint

#include <algorithm>
#include <chrono>

#include "vorn3/player.h"

namespace vorn3 {
namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

std::int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

bool VirtualWaveDevice::open(const std::int16_t* ring, std::int32_t ringFrames, std::int32_t) {
    const std::lock_guard lock(lock_);
    ring_ = ring;
    ringFrames_ = ringFrames;
    played_ = 0;
    return true;
}

std::uint64_t VirtualWaveDevice::framesPlayed() {
    const std::lock_guard lock(lock_);
    return played_;
}

void VirtualWaveDevice::close() {
    const std::lock_guard lock(lock_);
    ring_ = nullptr;
}

bool VirtualWaveDevice::isOpen() {
    const std::lock_guard lock(lock_);
    return ring_ != nullptr;
}

void VirtualWaveDevice::play(std::int32_t frames, std::int16_t* heard) {
    const std::lock_guard lock(lock_);
    if (!ring_ || frames < 1) return;
    for (std::int32_t done = 0; done < frames;) {
        const auto at =
            static_cast<std::int32_t>(played_ % static_cast<std::uint64_t>(ringFrames_));
        const std::int32_t piece = std::min(ringFrames_ - at, frames - done);
        if (heard) std::copy_n(ring_ + 2 * at, 2 * piece, heard + 2 * done);
        played_ += static_cast<std::uint64_t>(piece);
        done += piece;
    }
}

bool SilentWaveDevice::open(const std::int16_t*, std::int32_t, std::int32_t rate) {
    openedAt_ = steadyNanoseconds();
    rate_ = rate;
    return true;
}

std::uint64_t SilentWaveDevice::framesPlayed() {
    const std::int64_t elapsed = steadyNanoseconds() - openedAt_;
    return static_cast<std::uint64_t>(elapsed / kNanosecondsPerSecond * rate_ +
                                      elapsed % kNanosecondsPerSecond * rate_ /
                                          kNanosecondsPerSecond);
}

}  // namespace vorn3

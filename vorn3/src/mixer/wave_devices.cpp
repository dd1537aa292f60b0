#include <algorithm>
#include <chrono>

#include "vorn3/player.h"

namespace vorn3 {
namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;
constexpr std::int64_t kNanosecondsPerMs = 1'000'000;

std::int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Frames played in `nanoseconds` at `rate`, without overflow for any rate and time a
// process lives.
std::uint64_t framesIn(std::int64_t nanoseconds, std::int32_t rate) {
    return static_cast<std::uint64_t>(nanoseconds / kNanosecondsPerSecond * rate +
                                      nanoseconds % kNanosecondsPerSecond * rate /
                                          kNanosecondsPerSecond);
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
    return framesIn(steadyNanoseconds() - openedAt_, rate_);
}

void watchFrom(DeviceWatch& watch, std::uint64_t count, std::int64_t now) {
    watch.count = count;
    watch.lastPoll = watch.lastAdvance = now;
}

bool deviceLost(DeviceWatch& watch, WaveDevice& device, std::uint64_t played, std::int64_t now) {
    const bool slept = now - watch.lastPoll > watch.patience;
    watch.lastPoll = now;
    if (played != watch.count || slept) watch.lastAdvance = now;
    watch.count = played;
    return device.lost() || now - watch.lastAdvance > watch.patience;
}

CarryingWaveDevice::CarryingWaveDevice(WaveDevice& device, std::int64_t (*steadyNanoseconds)())
    : device_(device), clock_(steadyNanoseconds ? steadyNanoseconds : vorn3::steadyNanoseconds) {}

bool CarryingWaveDevice::open(const std::int16_t* ring, std::int32_t ringFrames,
                              std::int32_t rate) {
    const std::lock_guard lock(lock_);
    if (!device_.open(ring, ringFrames, rate)) return false;
    ring_ = ring;
    ringFrames_ = ringFrames;
    rate_ = rate;
    silent_ = false;
    count_ = 0;
    watch_.patience = std::int64_t{ringFrames} * kNanosecondsPerSecond / (2 * std::int64_t{rate});
    watchFrom(watch_, 0, clock_());
    return true;
}

std::uint64_t CarryingWaveDevice::framesPlayed() {
    const std::lock_guard lock(lock_);
    if (!ring_) return count_;
    const std::int64_t now = clock_();
    if (!silent_) {
        const std::uint64_t played = device_.framesPlayed();
        count_ = played;
        if (deviceLost(watch_, device_, played, now)) {
            silent_ = true;
            silentFrom_ = played;
            silentNs_ = 0;
            nextRetry_ = now + kDeviceRetryMs * kNanosecondsPerMs;
            device_.close();  // may take long where the device hangs: silent is said first
        }
        return played;
    }
    const std::int64_t gap = now - watch_.lastPoll;
    watch_.lastPoll = now;
    if (gap <= watch_.patience) silentNs_ += gap;
    const std::uint64_t count = silentFrom_ + framesIn(silentNs_, rate_);
    count_ = count;
    if (now >= nextRetry_) {
        if (device_.openAt(ring_, ringFrames_, rate_, count)) {
            silent_ = false;
            watchFrom(watch_, count, now);
        } else {
            nextRetry_ = now + kDeviceRetryMs * kNanosecondsPerMs;
        }
    }
    return count;
}

void CarryingWaveDevice::close() {
    const std::lock_guard lock(lock_);
    if (ring_ && !silent_) device_.close();
    ring_ = nullptr;
}

}  // namespace vorn3

#include "tests/fuzz/module_player.h"

#include <algorithm>
#include <array>

#include "player/song.h"
#include "vorn3/player.h"

namespace glint {
namespace {

// The lowest rate the output takes: every tick still runs, with the fewest frames mixed.
constexpr std::int32_t kOutputRate = 8000;
constexpr std::int32_t kRingLengthMs = 20;
constexpr std::int32_t kPlayedSeconds = 3;
constexpr std::int32_t kPieceFrames = 1000;
// The tick engine's work grows with the channels: modules wider than 32 channels play
// for less, so that a few wide inputs do not take most of the fuzzer's time.
constexpr std::int32_t kChannelFrameBudget = 32 * kOutputRate * kPlayedSeconds;
// Each in turn, so that every kernel meets the loops and sample ends that inputs make.
constexpr vorn3::Interpolation kModes[] = {vorn3::Interpolation::linear, vorn3::Interpolation::sinc,
                                           vorn3::Interpolation::cubic,
                                           vorn3::Interpolation::nearest};

vorn3::MemoryStream stream;

void* openStream(const char*) {
    stream.position = 0;
    return &stream;
}

void closeStream(void*) {}

// Leaves the frames as zeroed by the loader but for a rising edge, so that hooked
// samples are not all silent.
void supplySampleData(void* destination, std::int32_t storedBytes, std::int32_t, std::int32_t,
                      std::int32_t) {
    auto* bytes = static_cast<std::uint8_t*>(destination);
    for (std::int32_t i = 0; i < storedBytes; ++i)
        bytes[i] = static_cast<std::uint8_t>(i);
}

}  // namespace

bool playModule(std::span<const std::uint8_t> bytes) {
    stream = {bytes.data(), static_cast<std::int32_t>(bytes.size()), 0};
    vorn3::setStreamCallbacks(openStream, closeStream, vorn3::memoryRead, vorn3::memorySeek,
                              vorn3::memoryTell);
    vorn3::setWaveDevice(nullptr, vorn3::MixingDriver::host);
    vorn3::setBufferLength(kRingLengthMs);
    vorn3::setInterpolation(kModes[bytes.size() / 2 % std::size(kModes)]);
    vorn3::openAudio(kOutputRate);
    // Inputs of odd length take the loader's other road for sample data.
    vorn3::Song* song = vorn3::songCreate("fuzz.xm", bytes.size() % 2 ? supplySampleData : nullptr);
    if (song) {
        vorn3::songStart(song);
        std::array<std::int16_t, 2 * kPieceFrames> sound{};
        const std::int32_t frames =
            std::min(kOutputRate * kPlayedSeconds,
                     kChannelFrameBudget / std::max<std::int32_t>(song->module->channelCount, 1));
        for (std::int32_t done = 0; done < frames; done += kPieceFrames)
            vorn3::renderAudio(sound.data(), kPieceFrames);
        vorn3::songFree(song);
    }
    vorn3::closeAudio();
    return song != nullptr;
}

}  // namespace glint

// The player's wave device over SDL2 audio. Nothing outside platform/ includes SDL.
#pragma once

#include <cstdint>
#include <string>

#include "vorn3/player.h"

namespace glint {

// SDL's audio callback copies from the ring at the play cursor and counts the frames it
// has taken; the count is read under SDL's device lock, which the callback also holds.
class SdlWaveDevice final : public vorn3::WaveDevice {
public:
    bool open(const std::int16_t* ring, std::int32_t ringFrames, std::int32_t rate) override;
    bool openAt(const std::int16_t* ring, std::int32_t ringFrames, std::int32_t rate,
                std::uint64_t firstFrame) override;
    std::uint64_t framesPlayed() override;
    void close() override;
    // SDL stops a device it has found removed.
    bool lost() override;
    // Why the last open failed.
    const std::string& error() const { return error_; }

private:
    bool openDevice(const std::int16_t* ring, std::int32_t ringFrames, std::int32_t rate,
                    std::uint64_t firstFrame);
    static void fill(void* device, std::uint8_t* stream, int bytes);

    std::uint32_t id_ = 0;  // SDL's device id; 0 while closed
    const std::int16_t* ring_ = nullptr;
    std::int32_t ringFrames_ = 0;
    std::uint64_t played_ = 0;  // frames handed to SDL, counted from the frame opened at
    std::string error_;
};

}  // namespace glint

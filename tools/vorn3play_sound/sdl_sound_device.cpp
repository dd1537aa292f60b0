// vorn3play, built with the show, plays through the show's SDL sound device.
#include "platform/sdl/sdl_audio.h"
#include "sound_device.h"

namespace vorn3play {
namespace {

// Opens the SDL device when the library opens it, and keeps its error for the caller.
class SoundDevice final : public vorn3::WaveDevice {
public:
    explicit SoundDevice(std::string& error) : error_(error) {}
    bool open(const std::int16_t* ring, std::int32_t ringFrames, std::int32_t rate) override {
        if (device_.open(ring, ringFrames, rate)) return true;
        error_ = device_.error();
        return false;
    }
    std::uint64_t framesPlayed() override { return device_.framesPlayed(); }
    void close() override { device_.close(); }

private:
    glint::SdlWaveDevice device_;
    std::string& error_;
};

}  // namespace

std::unique_ptr<vorn3::WaveDevice> openSoundDevice(std::string& error) {
    return std::make_unique<SoundDevice>(error);
}

}  // namespace vorn3play

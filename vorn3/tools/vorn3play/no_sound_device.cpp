#include "sound_device.h"

namespace vorn3play {

std::unique_ptr<vorn3::WaveDevice> openSoundDevice(std::string& error) {
    error = "this build has no sound device";
    return nullptr;
}

}  // namespace vorn3play

#include "mixer/mixer.h"

#include "mixer/output.h"

namespace vorn3 {

void resetMixer(Mixer& mixer) {
    closeOutput(mixer);
    mixer.output = {};
    mixer.nextDevice = nullptr;
    mixer.nextDriver = MixingDriver::thread;
    mixer.interpolation = Interpolation::linear;
}

}  // namespace vorn3

#include "mixer/mixer.h"

namespace vorn3 {
namespace {

MixerState state;

}  // namespace

MixerState& mixerState() {
    return state;
}

void resetMixerState() {
    closeAudio();
    state.output = {};
    state.nextDevice = nullptr;
    state.nextDriver = MixingDriver::thread;
}

}  // namespace vorn3

#include "mixer/mixer_state.h"

#include "vorn3/vorn3.h"

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
}

}  // namespace vorn3

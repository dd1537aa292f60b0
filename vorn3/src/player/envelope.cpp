#include "player/envelope.h"

#include <algorithm>
#include <cmath>

#include "player/random.h"

namespace vorn3 {
namespace {

constexpr std::int32_t kFixedOne = kEnvelopeFixedOne;
constexpr std::int32_t kFixedShift = 16;
constexpr double kRadiansPerPosition = 0.01227184375;  // π / 256: 256 positions per cycle
constexpr std::int32_t kVibratoAmplitude = 64;
constexpr std::int32_t kPositions = 256;
constexpr std::int32_t kHalfCycle = 128;
constexpr std::int32_t kDepthShift = 6;

enum VibratoType : std::uint8_t {
    sine = 0,
    square = 1,
    rampDown = 2,
    rampUp = 3,
    rampDownFromTop = 4,
    squareAboveZero = 5,
    random = 6
};

std::int32_t slopeBetween(const EnvelopePoint& from, const EnvelopePoint& to) {
    if (to.tick == from.tick) return 0;
    return (to.value * kFixedOne - from.value * kFixedOne) / (to.tick - from.tick);
}

std::int32_t vibratoValue(std::uint8_t type, std::int32_t position) {
    switch (type) {
        case sine:
            return static_cast<std::int32_t>(kVibratoAmplitude *
                                             std::sin(2 * position * kRadiansPerPosition));
        case square:
            return position < kHalfCycle ? kVibratoAmplitude : -kVibratoAmplitude;
        case rampDown:
            return (kHalfCycle - (position + kHalfCycle) % kPositions) >> 1;
        case rampUp:
            return (kHalfCycle - (kPositions + kHalfCycle - position) % kPositions) >> 1;
        case rampDownFromTop:
            return (kHalfCycle - position) >> 1;
        case squareAboveZero:
            return position < kHalfCycle ? kVibratoAmplitude : 0;
        default:
            return 0;
    }
}

}  // namespace

// The loaded envelope keeps its sustain and loop points below its point count, so no
// point beyond the loaded ones is read.
void envelopeStepAfter(EnvelopeState& state, const Envelope& envelope, bool keyOff) {
    const std::int32_t count = envelope.pointCount;
    const auto& points = envelope.points;
    if (state.point < count && points[state.point].tick == state.tick) {
        const bool sustained = (envelope.type & kEnvelopeSustain) && !keyOff;
        const bool sustainLoops = envelope.sustainEnd != envelope.sustainPoint;
        if (sustained && state.point == envelope.sustainEnd && sustainLoops) {
            state.point = envelope.sustainPoint;
            state.tick = points[state.point].tick;
        } else if ((envelope.type & kEnvelopeLoop) && state.point == envelope.loopEnd) {
            state.point = envelope.loopStart;
            state.tick = points[state.point].tick;
        }
        if (state.point == count - 1) {
            state.output = points[state.point].value;
            state.level = state.output * kFixedOne;
            state.done = true;
            return;
        }
        if (sustained && state.point == envelope.sustainPoint && !sustainLoops) {
            state.output = points[state.point].value;
            state.level = state.output * kFixedOne;
            return;
        }
        state.slope = slopeBetween(points[state.point], points[state.point + 1]);
        state.value = points[state.point].value * kFixedOne;
        state.point += 1;
    }
    if (state.point < count && points[state.point].tick != state.tick) state.value += state.slope;
    state.level = state.value;
    state.output = state.level >> kFixedShift;
    state.tick += 1;
}

// The value at the envelope's tick; then the tick moves on, back to a loop's start once it
// has passed the loop's end.
void envelopeStepAt(EnvelopeState& state, const Envelope& envelope, bool keyOff) {
    const std::int32_t count = envelope.pointCount;
    const auto& points = envelope.points;
    std::int32_t point = std::min(state.point, count - 1);
    while (point + 1 < count && state.tick >= points[point + 1].tick)
        point += 1;
    state.point = point;
    // Before its first point (a file may start it late) the envelope holds that point's
    // value; after the walk above, a later point lies beyond the tick.
    if (point == count - 1 || state.tick <= points[point].tick) {
        state.level = points[point].value * kFixedOne;
    } else {
        const EnvelopePoint& from = points[point];
        const EnvelopePoint& to = points[point + 1];
        state.level = from.value * kFixedOne + (to.value - from.value) * kFixedOne *
                                                   (state.tick - from.tick) / (to.tick - from.tick);
    }
    state.output = state.level >> kFixedShift;
    state.tick += 1;
    const bool sustained = (envelope.type & kEnvelopeSustain) && !keyOff;
    const bool looped = (envelope.type & kEnvelopeLoop) != 0;
    if (sustained && state.tick > points[envelope.sustainEnd].tick) {
        state.point = envelope.sustainPoint;
        state.tick = points[state.point].tick;
    } else if (!sustained && looped && state.tick > points[envelope.loopEnd].tick) {
        state.point = envelope.loopStart;
        state.tick = points[state.point].tick;
    } else if (point == count - 1) {
        state.done = true;
    }
}

// Stops at the last loaded point, where a tick beyond every point leaves the envelope.
void setVolumeEnvelopePosition(EnvelopeState& state, const Envelope& envelope, std::int32_t tick) {
    const std::int32_t count = envelope.pointCount;
    const auto& points = envelope.points;
    std::int32_t point = 0;
    while (point + 1 < count && tick > points[point + 1].tick)
        point += 1;
    state.point = point;
    if (point >= count - 1) {
        state.output = points[count - 1].value;
        state.level = state.output * kFixedOne;
        state.done = true;
        return;
    }
    state.done = false;
    state.tick = tick;
    state.slope = slopeBetween(points[point], points[point + 1]);
    state.value = points[point].value * kFixedOne + (tick - points[point].tick) * state.slope;
    state.point = point + 1;
    state.level = state.value;
    state.output = state.value >> kFixedShift;
}

// The random wave draws from the note's own sequence, so that renders repeat.
std::int32_t autoVibratoValue(Note& note, std::uint8_t type) {
    if (type != random) return vibratoValue(type, note.autoVibratoPosition);
    return drawRandom(note.randomState);
}

std::int32_t autoVibratoStep(Note& note, const AutoVibrato& vibrato) {
    // The sine costs more than the rest of a tick; without depth it adds nothing.
    std::int32_t delta =
        vibrato.depth == 0 ? 0 : vibrato.depth * autoVibratoValue(note, vibrato.type);
    if (vibrato.sweep != 0) delta = note.autoVibratoSweepCount * delta / vibrato.sweep;
    note.autoVibratoSweepCount =
        std::min(note.autoVibratoSweepCount + 1, std::int32_t{vibrato.sweep});
    note.autoVibratoPosition += vibrato.rate;
    if (note.autoVibratoPosition >= kPositions) note.autoVibratoPosition -= kPositions;
    return delta >> kDepthShift;
}

}  // namespace vorn3

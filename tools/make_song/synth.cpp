#include "tools/make_song/synth.h"

#include <algorithm>
#include <cstdlib>

namespace glint::song {
namespace {

// Taylor coefficients of sin(π/2 · t) in Q30: (π/2)^k / k!.
constexpr std::int64_t kSine1 = 1686629713;
constexpr std::int64_t kSine3 = 693598668;
constexpr std::int64_t kSine5 = 85569306;
constexpr std::int64_t kSine7 = 5026995;
constexpr std::int64_t kSine9 = 172272;
constexpr int kQ30 = 30;
constexpr std::uint32_t kQuarterMask = (1u << kQ30) - 1;
constexpr std::int64_t kFixedOne = 65536;

// sin(π/2 · t) for t in Q30 within [0, 1], result in Q30.
std::int64_t quarterSine(std::int64_t t) {
    const std::int64_t t2 = t * t >> kQ30;
    std::int64_t sum = kSine7 - (kSine9 * t2 >> kQ30);
    sum = kSine5 - (sum * t2 >> kQ30);
    sum = kSine3 - (sum * t2 >> kQ30);
    sum = kSine1 - (sum * t2 >> kQ30);
    return sum * t >> kQ30;
}

}  // namespace

std::int32_t sine(std::uint32_t phase) {
    const std::uint32_t quadrant = phase >> kQ30;
    std::int64_t t = phase & kQuarterMask;
    if (quadrant & 1) t = (std::int64_t{1} << kQ30) - t;
    const std::int64_t value = quarterSine(t) >> (kQ30 - 15);
    return static_cast<std::int32_t>(quadrant & 2 ? -value : value);
}

std::int32_t Noise::next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<std::int32_t>(state >> 16) - kUnit;
}

std::uint32_t phaseStep(std::int64_t milliHertz, std::int64_t rate) {
    return static_cast<std::uint32_t>((milliHertz << 32) / (rate * 1000));
}

std::int32_t decayPerFrame(std::int32_t frames) {
    return static_cast<std::int32_t>(kFixedOne - kFixedOne / std::max(frames, 1));
}

std::vector<std::int32_t> partials(std::uint32_t length, const std::vector<Partial>& list) {
    std::vector<std::int32_t> out(length);
    for (std::uint32_t i = 0; i < length; ++i) {
        std::int64_t sum = 0;
        for (const Partial& partial : list) {
            const auto phase = static_cast<std::uint32_t>(
                (std::uint64_t{static_cast<std::uint32_t>(partial.cycles)} * i << 32) / length);
            const std::uint32_t shifted = partial.cosine ? phase + (1u << kQ30) : phase;
            sum += std::int64_t{sine(shifted)} * partial.amplitude;
        }
        out[i] = static_cast<std::int32_t>(sum >> 10);
    }
    return out;
}

std::vector<std::int32_t> partials(std::uint32_t length, std::initializer_list<Partial> list) {
    return partials(length, std::vector<Partial>(list));
}

std::vector<Partial> harmonics(Wave wave, std::int32_t cycles, std::int32_t count, bool chorus,
                               bool cosine) {
    constexpr std::int32_t kOrgan[] = {0, 1024, 700, 500, 400, 0, 260, 0, 200};
    std::vector<Partial> list;
    for (std::int32_t n = 1; n <= count; ++n) {
        std::int32_t amplitude = 0;
        switch (wave) {
            case Wave::saw:
                amplitude = 1024 / n;
                break;
            case Wave::square:
                amplitude = n % 2 ? 1024 / n : 0;
                break;
            case Wave::triangle:
                amplitude = n % 2 ? 1024 / (n * n) : 0;
                break;
            case Wave::organ:
                amplitude = n < 9 ? kOrgan[n] : 0;
                break;
            case Wave::soft:
                amplitude = 1024 / (n * n) + (n == 2 ? 300 : 0);
                break;
        }
        if (amplitude == 0) continue;
        list.push_back({cycles * n, amplitude, cosine});
        if (chorus) list.push_back({(cycles + 1) * n, amplitude / 2, cosine});
    }
    return list;
}

void lowPass(std::vector<std::int32_t>& values, std::int32_t a) {
    std::int64_t state = 0;
    for (std::int32_t& value : values) {
        state += (value - state) * a / kFixedOne;
        value = static_cast<std::int32_t>(state);
    }
}

void highPass(std::vector<std::int32_t>& values, std::int32_t a) {
    std::int64_t state = 0;
    for (std::int32_t& value : values) {
        state += (value - state) * a / kFixedOne;
        value -= static_cast<std::int32_t>(state);
    }
}

std::vector<std::int16_t> normalise(const std::vector<std::int32_t>& values, std::int32_t peak) {
    std::int64_t largest = 1;
    for (const std::int32_t value : values)
        largest = std::max<std::int64_t>(largest, std::abs(value));
    std::vector<std::int16_t> out;
    out.reserve(values.size());
    for (const std::int32_t value : values) {
        const std::int64_t scaled = value * std::int64_t{peak};
        const std::int64_t rounded =
            (scaled + (scaled >= 0 ? largest / 2 : -largest / 2)) / largest;
        out.push_back(static_cast<std::int16_t>(rounded));
    }
    return out;
}

}  // namespace glint::song

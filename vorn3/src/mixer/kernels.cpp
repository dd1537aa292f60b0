#include "mixer/kernels.h"

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace vorn3 {
namespace {

// Kaiser's shape parameter: sidelobes near -60 dB with a main lobe the eight taps hold.
constexpr double kKaiserBeta = 7.0;
constexpr double kWindowHalfWidth = kSincTaps / 2;
// Of the sample's Nyquist frequency: the passband reaches the top of the audible range at
// 44.1 kHz while the window's transition keeps images below the sidelobes.
constexpr double kSincCutoff = 0.95;
// Steps (frames per output frame) each table serves up to, the last any step beyond.
constexpr std::array kStepBounds = {1.0, 1.25, 1.5, 2.0, 2.5, 3.0, 4.0, 6.0, 8.0, 16.0};
constexpr double kStepUnit = 4294967296.0;  // 2^32

// I0, the modified Bessel function of the first kind, by its series.
double besselI0(double x) {
    const double quarterSquare = x * x / 4;
    double term = 1;
    double sum = 1;
    for (int k = 1; term > sum * 1e-17; ++k) {
        term *= quarterSquare / (static_cast<double>(k) * k);
        sum += term;
    }
    return sum;
}

double catmullRomWeight(std::int32_t tap, double t) {
    const double t2 = t * t;
    const double t3 = t2 * t;
    switch (tap) {
        case 0:
            return (-t3 + 2 * t2 - t) / 2;
        case 1:
            return (3 * t3 - 5 * t2 + 2) / 2;
        case 2:
            return (-3 * t3 + 4 * t2 + t) / 2;
        default:
            return (t3 - t2) / 2;
    }
}

// Rounds a row to weight units and puts what rounding lost or added on its largest
// weight, so that it sums to exactly one.
template <typename Weight>
void quantizeRow(std::int16_t* row, std::int32_t taps, Weight weight) {
    std::vector<double> exact(static_cast<std::size_t>(taps));
    double sum = 0;
    for (std::int32_t k = 0; k < taps; ++k) {
        exact[static_cast<std::size_t>(k)] = weight(k);
        sum += exact[static_cast<std::size_t>(k)];
    }
    constexpr std::int32_t kOne = 1 << kKernelWeightBits;
    std::int32_t total = 0;
    std::int32_t largest = 0;
    for (std::int32_t k = 0; k < taps; ++k) {
        row[k] =
            static_cast<std::int16_t>(std::lround(exact[static_cast<std::size_t>(k)] / sum * kOne));
        total += row[k];
        if (row[k] > row[largest]) largest = k;
    }
    row[largest] = static_cast<std::int16_t>(row[largest] + kOne - total);
}

struct OwnedTable {
    std::vector<std::int16_t> weights;
    KernelTable table;
};

template <typename Weight>
OwnedTable makeTable(std::int32_t taps, Weight weight) {
    OwnedTable owned{std::vector<std::int16_t>(static_cast<std::size_t>(taps) * kKernelPhases), {}};
    for (std::int32_t phase = 0; phase < kKernelPhases; ++phase) {
        const double fraction = (phase + 0.5) / kKernelPhases;
        quantizeRow(owned.weights.data() + static_cast<std::ptrdiff_t>(phase) * taps, taps,
                    [&](std::int32_t k) { return weight(k, fraction); });
    }
    owned.table = {taps, owned.weights.data()};
    return owned;
}

OwnedTable makeSincTable(double stepBound) {
    const double cutoff = kSincCutoff / std::max(stepBound, 1.0);
    return makeTable(kSincTaps, [cutoff](std::int32_t k, double fraction) {
        return sincWeight(k - (kSincTaps / 2 - 1) - fraction, cutoff);
    });
}

}  // namespace

double sincWeight(double distance, double cutoff) {
    const double x = std::numbers::pi * cutoff * distance;
    const double sinc = x == 0 ? 1.0 : std::sin(x) / x;
    const double ratio = distance / kWindowHalfWidth;
    const double window =
        besselI0(kKaiserBeta * std::sqrt(std::max(0.0, 1 - ratio * ratio))) / besselI0(kKaiserBeta);
    return cutoff * sinc * window;
}

const KernelTable& cubicKernel() {
    static const OwnedTable cubic = makeTable(kCubicTaps, catmullRomWeight);
    return cubic.table;
}

const KernelTable& sincKernel(std::uint64_t step) {
    static const std::vector<OwnedTable> tables = [] {
        std::vector<OwnedTable> made;
        for (const double bound : kStepBounds)
            made.push_back(makeSincTable(bound));
        return made;
    }();
    const double frames = static_cast<double>(step) / kStepUnit;
    std::size_t k = 0;
    while (k + 1 < kStepBounds.size() && frames > kStepBounds[k])
        ++k;
    return tables[k].table;
}

}  // namespace vorn3

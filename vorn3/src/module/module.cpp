#include "module/module.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace vorn3 {

void releaseFrames(std::int16_t* data) {
    if (data) delete[](data - 1);
}

namespace {

void releaseSamples(const Module& module) {
    for (std::int32_t i = 0; i < module.sampleCount; ++i) {
        releaseFrames(module.samples[i].data);
        releaseFrames(module.rightChannels[i].data);
    }
    delete[] module.samples;
    delete[] module.rightChannels;
    delete[] module.sustainLoops;
    delete[] module.sampleNames;
    delete[] module.sampleVibratos;
}

// The array `total` long, its first `kept` records as they were and the rest zeroed;
// false, with the array as it was, when memory runs out.
template <typename Record>
bool grow(Record*& array, std::int32_t kept, std::size_t total) {
    auto* grown = new (std::nothrow) Record[total]();
    if (!grown) return false;
    std::copy_n(array, kept, grown);
    delete[] array;
    array = grown;
    return true;
}

void releasePatterns(const Module& module) {
    if (!module.patterns) return;
    for (std::int32_t i = 0; i < module.patternSlotCount; ++i)
        delete[] module.patterns[i].cells;
    delete[] module.patterns;
}

}  // namespace

Sample newSample() {
    Sample sample{};
    sample.panning = kNoPanning;
    sample.globalVolume = kFullSampleGlobalVolume;
    return sample;
}

Instrument newInstrument() {
    Instrument instrument{};
    instrument.noteSamples.fill(kNoSample);
    for (std::size_t n = 0; n < instrument.noteNotes.size(); ++n)
        instrument.noteNotes[n] = static_cast<std::uint8_t>(n);
    instrument.globalVolume = kFullInstrumentGlobalVolume;
    instrument.panning = kNoPanning;
    instrument.filterCutoff = kKeepFilter;
    instrument.filterResonance = kKeepFilter;
    return instrument;
}

// Panned hard left, as every sample was before samples could leave the panning alone.
const Sample emptySample = [] {
    Sample sample{};
    sample.globalVolume = kFullSampleGlobalVolume;
    return sample;
}();
const Instrument emptyInstrument = newInstrument();

Module* moduleCreate() {
    auto* module = new (std::nothrow) Module{};
    if (module) {
        module->references = 1;
        module->masterVolumeScale = 1;
        module->channelVolumes.fill(kFullChannelVolume);
    }
    return module;
}

void moduleRetain(const Module& module) {
    module.references.fetch_add(1, std::memory_order_relaxed);
}

void moduleRelease(const Module* module) {
    if (!module || module->references.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    releaseSamples(*module);
    releasePatterns(*module);
    delete[] module->instruments;
    delete[] module->message;
    delete module;
}

std::int32_t sampleIndex(const Module& module, const Sample& sample) {
    if (&sample < module.samples || &sample >= module.samples + module.sampleCount) return -1;
    return static_cast<std::int32_t>(&sample - module.samples);
}

std::int32_t appendSamples(Module& module, std::int32_t count) {
    const std::int32_t first = module.sampleCount;
    const std::size_t total = static_cast<std::size_t>(first) + static_cast<std::size_t>(count);
    if (!grow(module.samples, first, total) || !grow(module.rightChannels, first, total) ||
        !grow(module.sustainLoops, first, total) || !grow(module.sampleNames, first, total) ||
        !grow(module.sampleVibratos, first, total)) {
        return -1;
    }
    std::fill_n(module.samples + first, count, newSample());
    std::fill_n(module.rightChannels + first, count, newSample());
    std::fill_n(module.sustainLoops + first, count, newSample());
    module.sampleCount = static_cast<std::int32_t>(total);
    return first;
}

const Sample* sustainLoopOf(const Module& module, const Sample& sample) {
    const std::int32_t index = sampleIndex(module, sample);
    return index >= 0 && module.sustainLoops[index].data ? &module.sustainLoops[index] : nullptr;
}

const Sample* rightChannelOf(const Module& module, const Sample& sample) {
    const std::int32_t index = sampleIndex(module, sample);
    return index >= 0 && module.rightChannels[index].data ? &module.rightChannels[index] : nullptr;
}

bool allocateSampleInstruments(Module& module) {
    module.instruments = new (std::nothrow) Instrument[module.instrumentCount]();
    if (!module.instruments || appendSamples(module, module.instrumentCount) < 0) return false;
    for (std::int32_t i = 0; i < module.instrumentCount; ++i) {
        Instrument& instrument = module.instruments[i];
        instrument = newInstrument();
        instrument.firstSample = i;
        instrument.sampleCount = 1;
        instrument.noteSamples.fill(static_cast<std::int16_t>(i));
    }
    return true;
}

bool allocatePatterns(Module& module, std::int32_t storedPatterns, std::int32_t rows) {
    module.usedPatternCount = 0;
    for (std::int32_t i = 0; i < module.songLength; ++i)
        module.usedPatternCount = std::max(module.usedPatternCount, module.orderTable[i] + 1);
    module.patternSlotCount = std::max(storedPatterns, module.usedPatternCount);
    module.patterns = new (std::nothrow) PatternSlot[module.patternSlotCount]();
    if (!module.patterns) return false;
    for (std::int32_t i = 0; i < module.patternSlotCount; ++i) {
        PatternSlot& slot = module.patterns[i];
        slot.rows = rows;
        slot.cells =
            new (std::nothrow) PatternCell[static_cast<std::size_t>(rows) *
                                           static_cast<std::size_t>(module.channelCount)]();
        if (!slot.cells) return false;
    }
    return true;
}

std::int16_t* allocateFrames(std::uint32_t length) {
    auto* block = new (std::nothrow) std::int16_t[std::size_t{length} + 1 + kSpareFrames]();
    return block ? block + 1 : nullptr;
}

}  // namespace vorn3

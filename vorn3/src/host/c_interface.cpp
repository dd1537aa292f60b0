// The C interface: each call forwards to the C++ host interface.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "vorn3/vorn3.h"
#include "vorn3/vorn3_c.h"

struct vorn3_tune {
    vorn3::Tune* tune;
    vorn3::ModuleInfo info;  // read once, for the names handed out
};

namespace {

template <std::size_t kSize>
void copyText(char (&destination)[kSize], const std::string& text) {
    const std::size_t length = std::min(text.size(), kSize - 1);
    std::memcpy(destination, text.data(), length);
    destination[length] = '\0';
}

vorn3_status statusOf(const vorn3::Status& status) {
    vorn3_status result{status.ok ? 1 : 0, {}};
    copyText(result.message, status.message);
    return result;
}

vorn3_status wrap(vorn3::TuneLoad loaded, vorn3_tune** tune) {
    if (!tune) {
        vorn3::tuneFree(loaded.tune);
        return statusOf({false, "no place for the tune"});
    }
    *tune = nullptr;
    if (!loaded.tune) return statusOf(loaded.status);
    *tune = new (std::nothrow) vorn3_tune{loaded.tune, vorn3::tuneInfo(*loaded.tune)};
    if (!*tune) {
        vorn3::tuneFree(loaded.tune);
        return statusOf({false, "out of memory"});
    }
    return statusOf({});
}

const char* nameAt(const std::vector<std::string>& names, std::int32_t index) {
    if (index < 0 || index >= static_cast<std::int32_t>(names.size())) return "";
    return names[static_cast<std::size_t>(index)].c_str();
}

const vorn3_status kNoTune = statusOf({false, "no tune"});

}  // namespace

extern "C" {

vorn3_status vorn3_load(const void* data, size_t size, int32_t rate, vorn3_tune** tune) {
    return wrap(vorn3::tuneLoad(data, size, rate), tune);
}

vorn3_status vorn3_load_file(const char* path, int32_t rate, vorn3_tune** tune) {
    return wrap(vorn3::tuneLoadFile(path, rate), tune);
}

void vorn3_free(vorn3_tune* tune) {
    if (!tune) return;
    vorn3::tuneFree(tune->tune);
    delete tune;
}

vorn3_info vorn3_get_info(const vorn3_tune* tune) {
    vorn3_info result{};
    if (!tune) return result;
    const vorn3::ModuleInfo& info = tune->info;
    copyText(result.title, info.title);
    copyText(result.tracker, info.tracker);
    copyText(result.format, info.format);
    result.channels = info.channels;
    result.orders = info.orders;
    result.patterns = info.patterns;
    result.instruments = static_cast<int32_t>(info.instruments.size());
    result.samples = static_cast<int32_t>(info.samples.size());
    result.linear_frequencies = info.linearFrequencies ? 1 : 0;
    result.speed = info.speed;
    result.bpm = info.bpm;
    return result;
}

const char* vorn3_instrument_name(const vorn3_tune* tune, int32_t index) {
    return tune ? nameAt(tune->info.instruments, index) : "";
}

const char* vorn3_sample_name(const vorn3_tune* tune, int32_t index) {
    return tune ? nameAt(tune->info.samples, index) : "";
}

int32_t vorn3_render_s16(vorn3_tune* tune, int16_t* destination, int32_t frames) {
    return tune ? vorn3::tuneRender(*tune->tune, destination, frames) : 0;
}

int32_t vorn3_render_float(vorn3_tune* tune, float* destination, int32_t frames) {
    return tune ? vorn3::tuneRender(*tune->tune, destination, frames) : 0;
}

void vorn3_set_passes(vorn3_tune* tune, int32_t passes) {
    if (tune) vorn3::tuneSetPasses(*tune->tune, passes);
}

double vorn3_duration(const vorn3_tune* tune) {
    return tune ? vorn3::tuneDuration(*tune->tune) : 0.0;
}

vorn3_status vorn3_seek_time(vorn3_tune* tune, double seconds) {
    return tune ? statusOf(vorn3::tuneSeekTime(*tune->tune, seconds)) : kNoTune;
}

vorn3_status vorn3_seek_position(vorn3_tune* tune, int32_t order, int32_t row) {
    return tune ? statusOf(vorn3::tuneSeekPosition(*tune->tune, order, row)) : kNoTune;
}

void vorn3_get_position(const vorn3_tune* tune, int32_t* order, int32_t* row, double* seconds) {
    const vorn3::TunePosition position =
        tune ? vorn3::tunePosition(*tune->tune) : vorn3::TunePosition{};
    if (order) *order = position.order;
    if (row) *row = position.row;
    if (seconds) *seconds = position.seconds;
}

void vorn3_mute_channel(vorn3_tune* tune, int32_t channel, int32_t muted) {
    if (tune) vorn3::tuneMuteChannel(*tune->tune, channel, muted != 0);
}

void vorn3_set_stereo_separation(vorn3_tune* tune, int32_t percent) {
    if (tune) vorn3::tuneSetStereoSeparation(*tune->tune, percent);
}

void vorn3_set_gain(vorn3_tune* tune, double decibels) {
    if (tune) vorn3::tuneSetGain(*tune->tune, decibels);
}

}  // extern "C"

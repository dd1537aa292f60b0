// Vorn3 for C++: an inline layer over the binary interface of <vorn3/vorn3_c.h>, whose
// comments are the contract (ranges, failures, threads). Everything here compiles into
// the host, so the standard library's types never cross into the shared library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "vorn3/vorn3_c.h"

namespace vorn3 {

using Tune = vorn3_tune;

inline constexpr std::int32_t kPlayForever = VORN3_PLAY_FOREVER;
inline constexpr std::int32_t kDefaultStereoSeparation = VORN3_DEFAULT_STEREO_SEPARATION;

// How voices read between a sample's frames (see vorn3_set_interpolation).
enum class Interpolation : std::int32_t {
    nearest = VORN3_INTERPOLATION_NEAREST,
    linear = VORN3_INTERPOLATION_LINEAR,
    cubic = VORN3_INTERPOLATION_CUBIC,
    sinc = VORN3_INTERPOLATION_SINC,
};

// Whether an operation succeeded, and why not.
struct Status {
    bool ok = true;
    std::string message;  // empty when ok
};

struct TuneLoad {
    Tune* tune = nullptr;  // null when the status is not ok; release with tuneFree
    Status status;
};

struct Subsong {
    std::int32_t firstOrder = 0;  // -1: no such subsong
    double seconds = 0;           // of one pass
};

struct ModuleInfo {
    std::string title;
    std::string tracker;  // the program that wrote the file
    std::string format;   // "XM 1.04", "MOD M.K.", "MOD 15 samples", "S3M", "IT 2.14"
    std::string message;  // the song's message, lines ended by '\n'; empty when it has none
    std::int32_t channels = 0;
    std::int32_t orders = 0;
    std::int32_t patterns = 0;
    std::vector<std::string> instruments;  // names, one per instrument
    std::vector<std::string> samples;      // names, instrument by instrument
    std::vector<Subsong> subsongs;         // at least one
    bool linearFrequencies = false;        // else Amiga periods
    std::int32_t speed = 0;                // initial ticks per row
    std::int32_t bpm = 0;                  // initial beats per minute
};

// The row whose sound the next frame handed out starts in, and that frame's time.
struct TunePosition {
    std::int32_t order = 0;
    std::int32_t row = 0;
    double seconds = 0;
};

inline Status statusOf(const vorn3_status& status) {
    return {status.ok != 0, status.message};
}

inline TuneLoad tuneLoad(const void* data, std::size_t size, std::int32_t rate) {
    TuneLoad load;
    load.status = statusOf(vorn3_load(data, size, rate, &load.tune));
    return load;
}

inline TuneLoad tuneLoadFile(const char* path, std::int32_t rate) {
    TuneLoad load;
    load.status = statusOf(vorn3_load_file(path, rate, &load.tune));
    return load;
}

inline void tuneFree(Tune* tune) {
    vorn3_free(tune);
}

inline Subsong tuneSubsong(const Tune& tune, std::int32_t index) {
    const vorn3_subsong subsong = vorn3_get_subsong(&tune, index);
    return {subsong.first_order, subsong.seconds};
}

inline std::int32_t tuneSubsongCount(const Tune& tune) {
    return vorn3_get_info(&tune).subsongs;
}

inline ModuleInfo tuneInfo(const Tune& tune) {
    const vorn3_info c = vorn3_get_info(&tune);
    ModuleInfo info;
    info.title = c.title;
    info.tracker = c.tracker;
    info.format = c.format;
    info.message = vorn3_message(&tune);
    info.channels = c.channels;
    info.orders = c.orders;
    info.patterns = c.patterns;
    for (std::int32_t i = 0; i < c.instruments; ++i)
        info.instruments.emplace_back(vorn3_instrument_name(&tune, i));
    for (std::int32_t i = 0; i < c.samples; ++i)
        info.samples.emplace_back(vorn3_sample_name(&tune, i));
    for (std::int32_t i = 0; i < c.subsongs; ++i)
        info.subsongs.push_back(tuneSubsong(tune, i));
    info.linearFrequencies = c.linear_frequencies != 0;
    info.speed = c.speed;
    info.bpm = c.bpm;
    return info;
}

inline std::int32_t tuneRender(Tune& tune, std::int16_t* destination, std::int32_t frames) {
    return vorn3_render_s16(&tune, destination, frames);
}

inline std::int32_t tuneRender(Tune& tune, float* destination, std::int32_t frames) {
    return vorn3_render_float(&tune, destination, frames);
}

inline void tuneSetPasses(Tune& tune, std::int32_t passes) {
    vorn3_set_passes(&tune, passes);
}

inline double tuneDuration(const Tune& tune) {
    return vorn3_duration(&tune);
}

inline Status tuneSelectSubsong(Tune& tune, std::int32_t index) {
    return statusOf(vorn3_select_subsong(&tune, index));
}

inline Status tuneSeekTime(Tune& tune, double seconds) {
    return statusOf(vorn3_seek_time(&tune, seconds));
}

inline Status tuneSeekPosition(Tune& tune, std::int32_t order, std::int32_t row) {
    return statusOf(vorn3_seek_position(&tune, order, row));
}

inline TunePosition tunePosition(const Tune& tune) {
    TunePosition position;
    vorn3_get_position(&tune, &position.order, &position.row, &position.seconds);
    return position;
}

// Where playback is and what each channel plays; see vorn3_get_state.
struct TuneState {
    vorn3_state playback{};
    std::vector<vorn3_channel_state> channels;  // one per channel of the module
};

inline TuneState tuneState(const Tune& tune) {
    TuneState state;
    state.channels.resize(static_cast<std::size_t>(vorn3_get_info(&tune).channels));
    state.playback = vorn3_get_state(&tune, state.channels.data(),
                                     static_cast<std::int32_t>(state.channels.size()));
    return state;
}

// A pattern cell as trackers show it; see vorn3_cell_text.
inline std::string tuneCellText(const Tune& tune, std::int32_t pattern, std::int32_t row,
                                std::int32_t channel) {
    char text[VORN3_CELL_TEXT_BYTES];
    vorn3_cell_text(&tune, pattern, row, channel, text, sizeof text);
    return text;
}

inline void tuneMuteChannel(Tune& tune, std::int32_t channel, bool muted) {
    vorn3_mute_channel(&tune, channel, muted ? 1 : 0);
}

inline void tuneSetStereoSeparation(Tune& tune, std::int32_t percent) {
    vorn3_set_stereo_separation(&tune, percent);
}

inline void tuneSetGain(Tune& tune, double decibels) {
    vorn3_set_gain(&tune, decibels);
}

inline Status tuneSetInterpolation(Tune& tune, Interpolation mode) {
    return statusOf(vorn3_set_interpolation(&tune, static_cast<std::int32_t>(mode)));
}

inline Interpolation tuneInterpolation(const Tune& tune) {
    return static_cast<Interpolation>(vorn3_get_interpolation(&tune));
}

}  // namespace vorn3

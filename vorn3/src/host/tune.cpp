// The binary interface: tunes, each a module with a player of its own.
#include "host/tune.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "host/pattern_text.h"
#include "mixer/output.h"
#include "mixer/voice.h"
#include "player/player.h"
#include "player/song.h"
#include "vorn3/vorn3_c.h"

namespace vorn3 {
namespace {

constexpr std::int64_t kSkipPiece = 1 << 20;  // frames advanced at once when seeking
// A pass that loops within itself without end is cut here.
constexpr std::int64_t kLongestPassSeconds = 24 * 60 * 60;
constexpr float kFullScale = 32768;  // a 16-bit frame's

// A module in memory outlives its stream: nothing to close.
void keepMemory(void*) {}

template <std::size_t kSize>
void copyText(char (&destination)[kSize], const std::string& text) {
    const std::size_t length = std::min(text.size(), kSize - 1);
    std::memcpy(destination, text.data(), length);
    destination[length] = '\0';
}

vorn3_status success() {
    return {1, {}};
}

vorn3_status failure(const std::string& message) {
    vorn3_status status{0, {}};
    copyText(status.message, message);
    return status;
}

// Playback back at the start of the subsong, as right after loading.
void restart(vorn3_tune& tune) {
    Mixer& mixer = tune.player->mixer;
    resetVoices(mixer);
    songStart(tune.song);
    mixer.renderedFrames = mixer.chunkFramesMixed = mixer.output.chunkFrames;
    tune.framesDone = 0;
}

// Runs the rows of one pass with a player that has no voices, counting their frames.
std::int64_t measurePass(vorn3_tune& tune) {
    Song& song = *tune.song;
    Player dry;
    dry.mixer.output.outputRate = tune.rate;
    song.player = &dry;
    const std::int32_t passLimit = song.passLimit;
    song.passLimit = 1;
    std::int64_t frames = 0;
    const std::int64_t longest = kLongestPassSeconds * tune.rate;
    if (startPlayback(song)) {
        while (frames < longest && song.client.tick(song.client))
            frames += std::max(song.client.samplesPerTick, 1);
    }
    delete[] song.channels;
    song.channels = nullptr;
    song.passLimit = passLimit;
    song.player = tune.player;
    return frames;
}

// Where playback goes on after the last order of the subsong starting at `order`.
std::int32_t restartOrderOf(const Module& module, std::int32_t order) {
    return order == 0 ? module.restartPosition : order;
}

void chooseSubsong(vorn3_tune& tune, std::int32_t index) {
    tune.subsong = index;
    tune.song->subsong = index;
    tune.song->firstOrder = tune.subsongs[index].firstOrder;
    tune.song->restartOrder = restartOrderOf(*tune.song->module, tune.song->firstOrder);
}

// Each subsong starts at the first order no pass of an earlier one played.
void findSubsongs(vorn3_tune& tune) {
    Song& song = *tune.song;
    std::array<bool, kMaxOrders> reached{};
    tune.subsongCount = 0;
    for (std::int32_t order = 0; order < song.module->songLength; ++order) {
        if (reached[order]) continue;
        SubsongPlace& place = tune.subsongs[tune.subsongCount];
        place.firstOrder = order;
        chooseSubsong(tune, tune.subsongCount++);
        place.passFrames = measurePass(tune);
        claimPlayedRows(song, tune.subsongOfRow.data(), static_cast<std::uint8_t>(tune.subsong));
        for (std::int32_t i = order; i < song.module->songLength; ++i)
            reached[i] = reached[i] || orderPlayed(song, i);
    }
    chooseSubsong(tune, 0);
}

// Names are padded with spaces or zeros; a control byte shows as a space, and a line
// break only where lines are kept.
std::string textOf(const char* text, std::size_t most, bool keepLines = false) {
    std::string result(text, strnlen(text, most));
    for (char& c : result) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < ' ' && !(keepLines && c == '\n')) || byte == 0x7F) c = ' ';
    }
    result.erase(result.find_last_not_of(' ') + 1);
    return result;
}

TuneTexts textsOf(const Module& module) {
    TuneTexts texts;
    texts.title = textOf(module.title.data(), module.title.size());
    texts.tracker = textOf(module.tracker.data(), module.tracker.size());
    texts.format = textOf(module.format.data(), module.format.size());
    if (module.message) texts.message = textOf(module.message, SIZE_MAX, true);
    for (std::int32_t i = 0; i < module.instrumentCount; ++i)
        texts.instruments.push_back(textOf(module.instruments[i].name.data(), kNameBytes));
    for (std::int32_t i = 0; i < module.sampleCount; ++i)
        texts.samples.push_back(textOf(module.sampleNames[i].data(), kNameBytes));
    return texts;
}

// The row computed next once a row's last tick has been mixed: the sought one after a
// seek.
std::pair<std::int32_t, std::int32_t> rowAhead(const Song& song) {
    const bool betweenRows = song.tick == 0 && song.client.samplesLeftInTick == 0;
    if (betweenRows && song.nextRow >= 0 && !song.finished)
        return {song.nextOrder >= 0 ? song.nextOrder : song.currentOrder.load(), song.nextRow};
    return {song.currentOrder, song.currentRow};
}

float peakOf(Mixer& mixer, const Note& note) {
    float peak = 0;
    for (const std::int32_t index : {note.voiceIndex, note.rightVoiceIndex}) {
        if (const Voice* voice = voiceAt(mixer, index)) peak = std::max(peak, voice->peak);
    }
    return peak;
}

vorn3_channel_state channelState(vorn3_tune& tune, std::int32_t index) {
    const Song& song = *tune.song;
    const Channel& channel = song.channels[index];
    Mixer& mixer = tune.player->mixer;
    const Voice* voice = voiceAt(mixer, channel.playing.voiceIndex);
    const bool sounding = voice && voice->sample;
    float peak = peakOf(mixer, channel.playing);
    for (std::int32_t i = 0; i < song.letGoCount; ++i) {
        if (song.letGoNotes[i].channel == index)
            peak = std::max(peak, peakOf(mixer, song.letGoNotes[i].note));
    }
    const float level = channel.muted ? 0 : peak * mixer.gain / kFullScale;
    return {sounding ? channel.note + 1 : 0, sounding ? channel.instrument + 1 : 0, channel.volume,
            level};
}

// Takes the state a host reads, after every call that moves playback.
void publishState(vorn3_tune& tune) {
    const Song& song = *tune.song;
    PublishedState state{};
    const auto [order, row] = rowAhead(song);
    state.position = {tune.subsong,
                      order,
                      song.module->orderTable[order],
                      row,
                      song.speed,
                      song.bpm,
                      static_cast<double>(tune.framesDone) / tune.rate,
                      song.module->channelCount};
    for (std::int32_t c = 0; c < song.module->channelCount && song.channels; ++c)
        state.channels[c] = channelState(tune, c);
    const std::lock_guard lock(tune.stateLock);
    tune.state = state;
}

// Why a load failed, from what it found.
std::string refusalOf(const LoadReport& report) {
    if (!report.format) return "not a module this player can read";
    if (report.endsInside) return std::string("the file ends inside ") + report.endsInside;
    return std::string("a damaged ") + report.format + " module";
}

vorn3_status loadFromStream(SongStream& stream, std::int32_t rate, vorn3_tune** result,
                            vorn3_log_function log, void* user) {
    *result = nullptr;
    if (rate < VORN3_MIN_RATE || rate > VORN3_MAX_RATE) {
        return failure("rate " + std::to_string(rate) + " Hz is outside " +
                       std::to_string(VORN3_MIN_RATE) + ".." + std::to_string(VORN3_MAX_RATE));
    }
    auto* tune = new (std::nothrow) vorn3_tune{};
    Player* player = playerCreate();
    if (!tune || !player || !openOutput(player->mixer, rate)) {
        delete tune;
        playerDestroy(player);
        return failure("out of memory");
    }
    tune->player = player;
    tune->rate = rate;
    LoadReport report;
    tune->song = songLoad(*player, &stream, nullptr, &report);
    if (!tune->song) {
        vorn3_free(tune);
        return failure(refusalOf(report));
    }
    try {
        tune->texts = textsOf(*tune->song->module);
        tune->subsongOfRow.assign(kRowCount, kNoSubsong);
    } catch (const std::bad_alloc&) {
        vorn3_free(tune);
        return failure("out of memory");
    }
    tune->song->passLimit = 1;
    tune->song->subsongOfRow = tune->subsongOfRow.data();
    findSubsongs(*tune);
    restart(*tune);
    publishState(*tune);
    *result = tune;
    if (!report.cutShort) return success();
    // Loaded all the same: the warning goes with the success.
    const std::string warning =
        std::string("the file ends inside ") + report.cutShort + ": it plays without the rest";
    if (log) log(user, warning.c_str());
    vorn3_status status = failure(warning);
    status.ok = 1;
    return status;
}

// Skips frames in pieces of at most `piece` until the song stops or `frames` have
// passed; the frames skipped.
std::int64_t skip(vorn3_tune& tune, std::int64_t frames, std::int64_t piece) {
    std::int64_t done = 0;
    while (done < frames) {
        const auto length = static_cast<std::int32_t>(std::min(frames - done, piece));
        const std::int32_t skipped = skipClients(tune.player->mixer, length);
        done += skipped;
        if (skipped < length) break;
    }
    tune.framesDone += done;
    return done;
}

// From the start to `frame`, cutting the mixing into the chunks a straight render cuts
// it into: a volume ramp depends on where it is cut.
void skipTo(vorn3_tune& tune, std::int64_t frame) {
    restart(tune);
    Mixer& mixer = tune.player->mixer;
    const std::int32_t chunk = mixer.output.chunkFrames;
    const std::int64_t wholeChunks = frame / chunk * chunk;
    if (skip(tune, wholeChunks, chunk) < wholeChunks) return;
    const auto rest = static_cast<std::int32_t>(frame - wholeChunks);
    if (rest > 0) tune.framesDone += renderChunkFrom(mixer, rest);
}

const char* nameAt(const std::vector<std::string>& names, std::int32_t index) {
    if (index < 0 || index >= static_cast<std::int32_t>(names.size())) return "";
    return names[static_cast<std::size_t>(index)].c_str();
}

template <typename Value>
std::int32_t render(vorn3_tune& tune, Value* destination, std::int32_t frames) {
    tune.player->mixer.measurePeaks = tune.levelsWanted.load(std::memory_order_relaxed);
    const std::int32_t rendered = renderOutput(tune.player->mixer, destination, frames);
    tune.framesDone += rendered;
    publishState(tune);
    return rendered;
}

vorn3_status seekPosition(vorn3_tune& tune, std::int32_t order, std::int32_t row) {
    Song& song = *tune.song;
    const bool exists = order >= 0 && order < song.module->songLength && row >= 0 &&
                        row < song.module->patterns[song.module->orderTable[order]].rows;
    if (!exists) return failure("no such order and row");
    restart(tune);
    const std::int32_t passLimit = song.passLimit;
    song.passLimit = 1;
    song.seekOrder = order;
    song.seekRow = row;
    // A pass that never comes to the row ends within its own length, plus a frame.
    const std::int64_t passFrames = tune.subsongs[tune.subsong].passFrames;
    const bool reached = skip(tune, passFrames + 1, kSkipPiece) <= passFrames && !song.finished;
    const std::int64_t frame = tune.framesDone;
    song.seekOrder = song.seekRow = -1;
    song.passLimit = passLimit;
    skipTo(tune, reached ? frame : 0);
    if (!reached) {
        return failure("order " + std::to_string(order) + " row " + std::to_string(row) +
                       " is never played");
    }
    return success();
}

}  // namespace
}  // namespace vorn3

using namespace vorn3;

extern "C" {

int32_t vorn3_version(void) {
    return VORN3_VERSION_NUMBER;
}

const char* vorn3_version_text(void) {
    return VORN3_VERSION_TEXT;
}

vorn3_status vorn3_load_logged(const void* data, size_t size, int32_t rate, vorn3_log_function log,
                               void* user, vorn3_tune** tune) {
    if (!tune) return failure("no place for the tune");
    *tune = nullptr;
    if (!data || size > static_cast<std::size_t>(INT32_MAX))
        return failure("no module of a size this player can read");
    MemoryStream memory{static_cast<const std::uint8_t*>(data), static_cast<std::int32_t>(size)};
    SongStream stream{{nullptr, keepMemory, memoryRead, memorySeek, memoryTell}, &memory};
    return loadFromStream(stream, rate, tune, log, user);
}

vorn3_status vorn3_load(const void* data, size_t size, int32_t rate, vorn3_tune** tune) {
    return vorn3_load_logged(data, size, rate, nullptr, nullptr, tune);
}

vorn3_probe_result vorn3_probe(const void* data, size_t size, int64_t file_size) {
    const std::int64_t held = data ? std::min<std::int64_t>(size, kHeadBytes) : 0;
    const std::int64_t fileSize = file_size >= 0 ? file_size : INT64_MAX;
    const Probe probe = probeHead({static_cast<const std::uint8_t*>(data), held, fileSize});
    // Bytes not given may yet show a format, or the rest of a header.
    const bool moreToCome = held < kHeadBytes && held < fileSize;
    vorn3_probe_result result{VORN3_PROBE_NOT_A_MODULE, {}};
    if (!probe.format) {
        result.verdict = moreToCome ? VORN3_PROBE_NEED_MORE : VORN3_PROBE_NOT_A_MODULE;
        return result;
    }
    copyText(result.format, probe.format);
    if (fileSize < probe.headerBytes) {
        result.verdict = VORN3_PROBE_CUT_SHORT;
    } else if (file_size < 0 && moreToCome && held < probe.headerBytes) {
        result.verdict = VORN3_PROBE_NEED_MORE;
    } else {
        result.verdict = VORN3_PROBE_LOADS;
    }
    return result;
}

vorn3_status vorn3_load_file(const char* path, int32_t rate, vorn3_tune** tune) {
    if (!tune) return failure("no place for the tune");
    *tune = nullptr;
    if (!path) return failure("no file named");
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return failure(std::string("cannot open: ") + std::strerror(errno));
    std::vector<std::uint8_t> bytes;
    std::uint8_t block[65536];
    for (std::size_t count; (count = std::fread(block, 1, sizeof block, file)) > 0;)
        bytes.insert(bytes.end(), block, block + count);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return failure("cannot read: " + std::string(std::strerror(errno)));
    return vorn3_load(bytes.data(), bytes.size(), rate, tune);
}

void vorn3_free(vorn3_tune* tune) {
    if (!tune) return;
    playerDestroy(tune->player);
    delete tune;
}

vorn3_info vorn3_get_info(const vorn3_tune* tune) {
    vorn3_info info{};
    if (!tune) return info;
    const Module& module = *tune->song->module;
    copyText(info.title, tune->texts.title);
    copyText(info.tracker, tune->texts.tracker);
    copyText(info.format, tune->texts.format);
    info.channels = module.channelCount;
    info.orders = module.songLength;
    info.patterns = module.patternSlotCount;
    info.instruments = module.instrumentCount;
    info.samples = module.sampleCount;
    info.subsongs = tune->subsongCount;
    info.linear_frequencies = (module.flags & kLinearFrequencies) != 0 ? 1 : 0;
    info.speed = module.defaultTempo;
    info.bpm = module.defaultBpm;
    return info;
}

const char* vorn3_message(const vorn3_tune* tune) {
    return tune ? tune->texts.message.c_str() : "";
}

const char* vorn3_instrument_name(const vorn3_tune* tune, int32_t index) {
    return tune ? nameAt(tune->texts.instruments, index) : "";
}

const char* vorn3_sample_name(const vorn3_tune* tune, int32_t index) {
    return tune ? nameAt(tune->texts.samples, index) : "";
}

int32_t vorn3_render_s16(vorn3_tune* tune, int16_t* destination, int32_t frames) {
    return tune ? render(*tune, destination, frames) : 0;
}

int32_t vorn3_render_float(vorn3_tune* tune, float* destination, int32_t frames) {
    return tune ? render(*tune, destination, frames) : 0;
}

void vorn3_set_passes(vorn3_tune* tune, int32_t passes) {
    if (tune) setPasses(tune->song, passes);
}

double vorn3_duration(const vorn3_tune* tune) {
    if (!tune) return 0;
    return static_cast<double>(tune->subsongs[tune->subsong].passFrames) / tune->rate;
}

vorn3_subsong vorn3_get_subsong(const vorn3_tune* tune, int32_t index) {
    if (!tune || index < 0 || index >= tune->subsongCount) return {-1, 0};
    const SubsongPlace& place = tune->subsongs[index];
    return {place.firstOrder, static_cast<double>(place.passFrames) / tune->rate};
}

vorn3_status vorn3_select_subsong(vorn3_tune* tune, int32_t index) {
    if (!tune) return failure("no tune");
    if (index < 0 || index >= tune->subsongCount) {
        return failure("no subsong " + std::to_string(index) + " (the module has " +
                       std::to_string(tune->subsongCount) + ")");
    }
    chooseSubsong(*tune, index);
    restart(*tune);
    publishState(*tune);
    return success();
}

vorn3_status vorn3_seek_time(vorn3_tune* tune, double seconds) {
    if (!tune) return failure("no tune");
    if (!(seconds >= 0) || !std::isfinite(seconds)) return failure("no such time");
    skipTo(*tune, std::llround(std::min(seconds, double{INT32_MAX}) * tune->rate));
    publishState(*tune);
    return success();
}

vorn3_status vorn3_seek_position(vorn3_tune* tune, int32_t order, int32_t row) {
    if (!tune) return failure("no tune");
    const vorn3_status status = seekPosition(*tune, order, row);
    publishState(*tune);
    return status;
}

void vorn3_get_position(const vorn3_tune* tune, int32_t* order, int32_t* row, double* seconds) {
    const vorn3_state state = vorn3_get_state(tune, nullptr, 0);
    if (order) *order = state.order;
    if (row) *row = state.row;
    if (seconds) *seconds = state.seconds;
}

vorn3_state vorn3_get_state(const vorn3_tune* tune, vorn3_channel_state* channels, int32_t count) {
    if (channels) std::fill_n(channels, std::max(count, 0), vorn3_channel_state{});
    if (!tune) return {};
    if (channels && count > 0) tune->levelsWanted.store(true, std::memory_order_relaxed);
    const std::lock_guard lock(tune->stateLock);
    if (channels) {
        std::copy_n(tune->state.channels.begin(),
                    std::clamp(count, 0, tune->state.position.channels), channels);
    }
    return tune->state.position;
}

int32_t vorn3_pattern_rows(const vorn3_tune* tune, int32_t pattern) {
    if (!tune || pattern < 0 || pattern >= tune->song->module->patternSlotCount) return 0;
    return tune->song->module->patterns[pattern].rows;
}

int32_t vorn3_cell_text(const vorn3_tune* tune, int32_t pattern, int32_t row, int32_t channel,
                        char* text, size_t size) {
    std::string cell;
    if (tune && row >= 0 && row < vorn3_pattern_rows(tune, pattern) && channel >= 0 &&
        channel < tune->song->module->channelCount) {
        const Module& module = *tune->song->module;
        const bool letters =
            tune->texts.format.starts_with("S3M") || tune->texts.format.starts_with("IT");
        cell = cellText(module.patterns[pattern].cells[row * module.channelCount + channel],
                        letters ? EffectNaming::letters : EffectNaming::digitsAndLetters);
    }
    if (text && size > 0) {
        const std::size_t kept = std::min(cell.size(), size - 1);
        std::memcpy(text, cell.data(), kept);
        text[kept] = '\0';
    }
    return static_cast<int32_t>(cell.size());
}

void vorn3_mute_channel(vorn3_tune* tune, int32_t channel, int32_t muted) {
    if (!tune) return;
    Song& song = *tune->song;
    if (channel < 0 || channel >= song.module->channelCount) return;
    song.mutedChannels[channel] = muted != 0;
    if (!song.channels) return;
    song.channels[channel].muted = muted != 0;
    if (!muted) return;
    const Note& note = song.channels[channel].playing;
    for (const std::int32_t index : {note.voiceIndex, note.rightVoiceIndex}) {
        if (Voice* voice = voiceAt(tune->player->mixer, index)) setVoiceVolume(*voice, 0);
    }
}

void vorn3_set_stereo_separation(vorn3_tune* tune, int32_t percent) {
    if (tune) setStereoSeparation(tune->song, percent);
}

void vorn3_set_gain(vorn3_tune* tune, double decibels) {
    if (tune) setGain(*tune->player, decibels);
}

vorn3_status vorn3_set_interpolation(vorn3_tune* tune, int32_t mode) {
    if (!tune) return failure("no tune");
    if (!setInterpolation(*tune->player, static_cast<vorn3::Interpolation>(mode))) {
        return failure("no interpolation mode " + std::to_string(mode));
    }
    return success();
}

int32_t vorn3_get_interpolation(const vorn3_tune* tune) {
    return tune ? static_cast<int32_t>(interpolation(*tune->player)) : -1;
}

}  // extern "C"

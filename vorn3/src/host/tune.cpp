#include "host/tune.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "mixer/output.h"
#include "mixer/voice.h"
#include "player/player.h"
#include "player/song.h"

namespace vorn3 {
namespace {

constexpr std::int32_t kMinRate = 8000;
constexpr std::int32_t kMaxRate = 384000;
constexpr std::int64_t kSkipPiece = 1 << 20;  // frames advanced at once when seeking
// A pass that loops within itself without end is cut here.
constexpr std::int64_t kLongestPassSeconds = 24 * 60 * 60;

// A module in memory outlives its stream: nothing to close.
void keepMemory(void*) {}

Status failure(std::string message) {
    return {false, std::move(message)};
}

// Playback back at the start, as right after loading.
void restart(Tune& tune) {
    Mixer& mixer = tune.player->mixer;
    resetVoices(mixer);
    songStart(tune.song);
    mixer.renderedFrames = mixer.chunkFramesMixed = mixer.output.chunkFrames;
    tune.framesDone = 0;
}

// Runs the rows of one pass with a player that has no voices, counting their frames.
std::int64_t measurePass(Tune& tune) {
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

void chooseSubsong(Tune& tune, std::int32_t index) {
    tune.subsong = index;
    tune.song->firstOrder = tune.subsongs[index].firstOrder;
    tune.song->restartOrder = restartOrderOf(*tune.song->module, tune.song->firstOrder);
}

// Each subsong starts at the first order no pass of an earlier one played.
void findSubsongs(Tune& tune) {
    Song& song = *tune.song;
    std::array<bool, kMaxOrders> reached{};
    tune.subsongCount = 0;
    for (std::int32_t order = 0; order < song.module->songLength; ++order) {
        if (reached[order]) continue;
        SubsongPlace& place = tune.subsongs[tune.subsongCount];
        place.firstOrder = order;
        chooseSubsong(tune, tune.subsongCount++);
        place.passFrames = measurePass(tune);
        for (std::int32_t i = order; i < song.module->songLength; ++i)
            reached[i] = reached[i] || orderPlayed(song, i);
    }
    chooseSubsong(tune, 0);
}

TuneLoad loadFromStream(SongStream& stream, std::int32_t rate) {
    if (rate < kMinRate || rate > kMaxRate) {
        return {nullptr, failure("rate " + std::to_string(rate) + " Hz is outside " +
                                 std::to_string(kMinRate) + ".." + std::to_string(kMaxRate))};
    }
    auto* tune = new (std::nothrow) Tune{};
    Player* player = playerCreate();
    if (!tune || !player || !openOutput(player->mixer, rate)) {
        delete tune;
        playerDestroy(player);
        return {nullptr, failure("out of memory")};
    }
    tune->player = player;
    tune->rate = rate;
    tune->song = songLoad(*player, &stream, nullptr);
    if (!tune->song) {
        tuneFree(tune);
        return {nullptr, failure("not a module this player can read")};
    }
    tune->song->passLimit = 1;
    findSubsongs(*tune);
    restart(*tune);
    return {tune, {}};
}

// Names are padded with spaces or zeros.
std::string nameOf(const char* text, std::size_t most) {
    std::string name(text, strnlen(text, most));
    name.erase(name.find_last_not_of(' ') + 1);
    return name;
}

// Skips frames in pieces of at most `piece` until the song stops or `frames` have
// passed; the frames skipped.
std::int64_t skip(Tune& tune, std::int64_t frames, std::int64_t piece) {
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
void skipTo(Tune& tune, std::int64_t frame) {
    restart(tune);
    Mixer& mixer = tune.player->mixer;
    const std::int32_t chunk = mixer.output.chunkFrames;
    const std::int64_t wholeChunks = frame / chunk * chunk;
    if (skip(tune, wholeChunks, chunk) < wholeChunks) return;
    const auto rest = static_cast<std::int32_t>(frame - wholeChunks);
    if (rest > 0) tune.framesDone += renderChunkFrom(mixer, rest);
}

}  // namespace

TuneLoad tuneLoad(const void* data, std::size_t size, std::int32_t rate) {
    if (!data || size > static_cast<std::size_t>(INT32_MAX)) {
        return {nullptr, failure("no module of a size this player can read")};
    }
    MemoryStream memory{static_cast<const std::uint8_t*>(data), static_cast<std::int32_t>(size)};
    SongStream stream{{nullptr, keepMemory, memoryRead, memorySeek, memoryTell}, &memory};
    return loadFromStream(stream, rate);
}

TuneLoad tuneLoadFile(const char* path, std::int32_t rate) {
    if (!path) return {nullptr, failure("no file named")};
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return {nullptr, failure(std::string("cannot open: ") + std::strerror(errno))};
    std::vector<std::uint8_t> bytes;
    std::uint8_t block[65536];
    for (std::size_t count; (count = std::fread(block, 1, sizeof block, file)) > 0;)
        bytes.insert(bytes.end(), block, block + count);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return {nullptr, failure("cannot read: " + std::string(std::strerror(errno)))};
    return tuneLoad(bytes.data(), bytes.size(), rate);
}

void tuneFree(Tune* tune) {
    if (!tune) return;
    playerDestroy(tune->player);
    delete tune;
}

ModuleInfo tuneInfo(const Tune& tune) {
    const Song& song = *tune.song;
    ModuleInfo info;
    info.title = nameOf(song.module->title.data(), song.module->title.size());
    info.tracker = nameOf(song.module->tracker.data(), song.module->tracker.size());
    info.format = nameOf(song.module->format.data(), song.module->format.size());
    if (song.module->message) info.message = song.module->message;
    info.channels = song.module->channelCount;
    info.orders = song.module->songLength;
    info.patterns = song.module->patternSlotCount;
    for (std::int32_t i = 0; i < song.module->instrumentCount; ++i)
        info.instruments.push_back(nameOf(song.module->instruments[i].name.data(), kNameBytes));
    for (std::int32_t i = 0; i < song.module->sampleCount; ++i)
        info.samples.push_back(nameOf(song.module->sampleNames[i].data(), kNameBytes));
    info.linearFrequencies = (song.module->flags & kLinearFrequencies) != 0;
    info.speed = song.module->defaultTempo;
    info.bpm = song.module->defaultBpm;
    return info;
}

std::int32_t tuneRender(Tune& tune, std::int16_t* destination, std::int32_t frames) {
    const std::int32_t rendered = renderOutput(tune.player->mixer, destination, frames);
    tune.framesDone += rendered;
    return rendered;
}

std::int32_t tuneRender(Tune& tune, float* destination, std::int32_t frames) {
    const std::int32_t rendered = renderOutput(tune.player->mixer, destination, frames);
    tune.framesDone += rendered;
    return rendered;
}

void tuneSetPasses(Tune& tune, std::int32_t passes) {
    setPasses(tune.song, passes);
}

double tuneDuration(const Tune& tune) {
    return static_cast<double>(tune.subsongs[tune.subsong].passFrames) / tune.rate;
}

std::int32_t tuneSubsongCount(const Tune& tune) {
    return tune.subsongCount;
}

Subsong tuneSubsong(const Tune& tune, std::int32_t index) {
    if (index < 0 || index >= tune.subsongCount) return {-1, 0};
    const SubsongPlace& place = tune.subsongs[index];
    return {place.firstOrder, static_cast<double>(place.passFrames) / tune.rate};
}

Status tuneSelectSubsong(Tune& tune, std::int32_t index) {
    if (index < 0 || index >= tune.subsongCount) {
        return failure("no subsong " + std::to_string(index) + " (the module has " +
                       std::to_string(tune.subsongCount) + ")");
    }
    chooseSubsong(tune, index);
    restart(tune);
    return {};
}

std::int32_t tuneSelectedSubsong(const Tune& tune) {
    return tune.subsong;
}

Status tuneSeekTime(Tune& tune, double seconds) {
    if (!(seconds >= 0) || !std::isfinite(seconds)) return failure("no such time");
    skipTo(tune, std::llround(std::min(seconds, double{INT32_MAX}) * tune.rate));
    return {};
}

Status tuneSeekPosition(Tune& tune, std::int32_t order, std::int32_t row) {
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
    return {};
}

TunePosition tunePosition(const Tune& tune) {
    return {tune.song->currentOrder, tune.song->currentRow,
            static_cast<double>(tune.framesDone) / tune.rate};
}

void tuneSetStereoSeparation(Tune& tune, std::int32_t percent) {
    setStereoSeparation(tune.song, percent);
}

void tuneSetGain(Tune& tune, double decibels) {
    setGain(*tune.player, decibels);
}

void tuneMuteChannel(Tune& tune, std::int32_t channel, bool muted) {
    Song& song = *tune.song;
    if (channel < 0 || channel >= song.module->channelCount) return;
    song.mutedChannels[channel] = muted;
    if (!song.channels) return;
    song.channels[channel].muted = muted;
    if (!muted) return;
    const Note& note = song.channels[channel].playing;
    for (const std::int32_t index : {note.voiceIndex, note.rightVoiceIndex}) {
        if (Voice* voice = voiceAt(tune.player->mixer, index)) setVoiceVolume(*voice, 0);
    }
}

}  // namespace vorn3

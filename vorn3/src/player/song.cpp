#include <algorithm>
#include <new>
#include <vector>

#include "formats/formats.h"
#include "formats/stream.h"
#include "mixer/voice.h"
#include "player/player.h"
#include "player/song.h"
#include "player/tick.h"

namespace vorn3 {
namespace {

constexpr std::uint32_t kRandomSeed = 0x2545F491;

// The caller holds passLock.
void stopSong(Song& song) {
    listUnlink(song.client.link);
    song.client.playing = false;
    if (song.channels) {
        for (std::int32_t i = 0; i < song.module->channelCount; ++i)
            stopNote(song.player->mixer, song.channels[i].playing);
        for (std::int32_t i = 0; i < song.letGoCount; ++i)
            stopNote(song.player->mixer, song.letGoNotes[i].note);
        song.letGoCount = 0;
        delete[] song.channels;
        song.channels = nullptr;
    }
}

std::int32_t rowIndex(std::int32_t order, std::int32_t row) {
    return order * kMaxPatternRows + row;
}

bool rowPlayed(const Song& song, std::int32_t order, std::int32_t row) {
    const std::int32_t at = rowIndex(order, row);
    return (song.playedRows[at / kRowBitsPerWord] >> (at % kRowBitsPerWord)) & 1;
}

void markRowPlayed(Song& song, std::int32_t order, std::int32_t row) {
    const std::int32_t at = rowIndex(order, row);
    song.playedRows[at / kRowBitsPerWord] |= std::uint64_t{1} << (at % kRowBitsPerWord);
}

bool rowOfEarlierSubsong(const Song& song, std::int32_t order, std::int32_t row) {
    return song.subsongOfRow && song.subsongOfRow[rowIndex(order, row)] < song.subsong;
}

// Before each row: whether it ends a pass, and whether the song stops there. The row a
// song plays next is the one pending, or else the current one (a song's first).
bool tickClient(MixClient& client) {
    Song& song = listRecord<Song>(&client.link);
    if (song.finished) return false;
    if (song.tick == 0) {
        const std::int32_t order = song.nextOrder >= 0 ? song.nextOrder : song.currentOrder.load();
        const std::int32_t row = song.nextRow >= 0 ? song.nextRow : song.currentRow.load();
        if (order == song.seekOrder && row == song.seekRow) return false;
        const bool earlierSubsong = rowOfEarlierSubsong(song, order, row);
        if (earlierSubsong || rowPlayed(song, order, row)) {
            song.passesDone += 1;
            if (song.passLimit > 0 && song.passesDone >= song.passLimit) {
                song.finished = true;
                return false;
            }
            song.playedRows.fill(0);
        }
        if (earlierSubsong) {
            // The subsong goes on from its start, as after its last order.
            song.nextOrder = song.firstOrder;
            song.nextRow = 0;
            song.ended = true;
        }
        markRowPlayed(song, earlierSubsong ? song.firstOrder : order, earlierSubsong ? 0 : row);
    }
    song.tickHook(song);
    return true;
}

// Started songs follow a new rate.
void changeRate(MixClient& client) {
    Song& song = listRecord<Song>(&client.link);
    applyBpm(song, song.bpm);
}

}  // namespace

void forgetRows(Song& song, std::int32_t order, std::int32_t first, std::int32_t last) {
    for (std::int32_t row = std::max(first, 0); row <= last && row < kMaxPatternRows; ++row) {
        const std::int32_t at = rowIndex(order, row);
        song.playedRows[at / kRowBitsPerWord] &= ~(std::uint64_t{1} << (at % kRowBitsPerWord));
    }
}

bool orderPlayed(const Song& song, std::int32_t order) {
    for (std::int32_t row = 0; row < kMaxPatternRows; row += kRowBitsPerWord) {
        if (song.playedRows[rowIndex(order, row) / kRowBitsPerWord] != 0) return true;
    }
    return false;
}

void claimPlayedRows(const Song& song, std::uint8_t* subsongOfRow, std::uint8_t subsong) {
    for (std::int32_t at = 0; at < kRowCount; ++at) {
        const bool played = (song.playedRows[at / kRowBitsPerWord] >> (at % kRowBitsPerWord)) & 1;
        if (played && subsongOfRow[at] == kNoSubsong) subsongOfRow[at] = subsong;
    }
}

std::int32_t sampleFinetune(const Song& song, const Sample& sample) {
    const std::int32_t index = sampleIndex(*song.module, sample);
    return index < 0 ? sample.finetune : song.finetunes[index];
}

void setSampleFinetune(Song& song, const Sample& sample, std::int8_t finetune) {
    const std::int32_t index = sampleIndex(*song.module, sample);
    if (index >= 0) song.finetunes[index] = finetune;
}

Song* songOfModule(Player& player, const Module& module) {
    auto* song = new (std::nothrow) Song{};
    if (!song) return nullptr;
    song->finetunes = new (std::nothrow) std::int8_t[static_cast<std::size_t>(module.sampleCount)];
    if (!song->finetunes) {
        delete song;
        return nullptr;
    }
    try {
        player.songs.push_back(song);
    } catch (const std::bad_alloc&) {
        delete[] song->finetunes;
        delete song;
        return nullptr;
    }
    listInit(song->client.link);
    song->client.tick = tickClient;
    song->client.rateChanged = changeRate;
    song->player = &player;
    song->module = &module;
    moduleRetain(module);
    song->tickHook = songTick;
    song->seekOrder = song->seekRow = -1;
    song->restartOrder = module.restartPosition;
    song->stereoSeparation = kDefaultStereoSeparation;
    return song;
}

Song* songLoad(Player& player, SongStream* stream, SampleDataHook sampleDataHook,
               LoadReport* report) {
    const Module* module = loadModule(stream, sampleDataHook, report);
    if (!module) return nullptr;
    Song* song = songOfModule(player, *module);
    moduleRelease(module);
    return song;
}

Song* songCreate(Player& player, const char* name, SampleDataHook sampleDataHook) {
    SongStream* stream = streamOpen(player.callbacks, name);
    if (!stream) return nullptr;
    Song* song = songLoad(player, stream, sampleDataHook);
    streamClose(stream);
    return song;
}

Song* songCreate(const char* name, SampleDataHook sampleDataHook) {
    return songCreate(defaultPlayer(), name, sampleDataHook);
}

bool startPlayback(Song& song) {
    const Module& module = *song.module;
    song.globalVolume = module.defaultGlobalVolume;
    song.globalVolumeHalfStep = 0;
    song.globalVolumeSlid = false;
    song.randomState = kRandomSeed;
    song.nextRow = song.nextOrder = -1;
    song.client.elapsedSeconds = 0.0f;
    song.speed = module.defaultTempo;
    song.currentRow = 0;
    song.currentOrder = song.firstOrder;
    song.client.samplesLeftInTick = 0;
    song.tick = 0;
    song.patternDelayTicks = 0;
    song.ended = false;
    song.playedRows.fill(0);
    song.passesDone = 0;
    song.finished = false;
    for (std::int32_t i = 0; i < module.sampleCount; ++i)
        song.finetunes[i] = module.samples[i].finetune;
    applyBpm(song, module.defaultBpm);
    song.channels = new (std::nothrow) Channel[module.channelCount]();
    if (!song.channels) return false;
    for (std::int32_t i = 0; i < module.channelCount; ++i) {
        song.channels[i].playing.voiceIndex = i;
        song.channels[i].playing.rightVoiceIndex = -1;
        song.channels[i].playing.gain = 1;
        song.channels[i].playing.filterCutoff = kOpenCutoff;
        song.channels[i].channelVolume = module.channelVolumes[i];
        song.channels[i].panning = module.channelPannings[i];
        song.channels[i].muted = song.mutedChannels[i];
        song.channels[i].surround = module.surroundChannels[i];
    }
    return true;
}

bool songStart(Song* song) {
    if (!song || !song->player->mixer.voicePool) return false;
    Mixer& mixer = song->player->mixer;
    const std::lock_guard lock(mixer.passLock);
    stopSong(*song);
    if (!startPlayback(*song)) return false;
    listInsertBefore(song->client.link, mixer.clients);
    song->client.playing = true;
    return true;
}

bool songStop(Song* song) {
    if (!song) return false;
    const std::lock_guard lock(song->player->mixer.passLock);
    stopSong(*song);
    return true;
}

bool songFree(Song* song) {
    if (!song) return false;
    Player& player = *song->player;
    {
        const std::lock_guard lock(player.mixer.passLock);
        stopSong(*song);
    }
    std::erase(player.songs, song);
    moduleRelease(song->module);
    delete[] song->finetunes;
    delete song;
    return true;
}

std::int32_t songGetOrder(const Song* song) {
    return song ? song->currentOrder.load() : 0;
}

std::int32_t songGetRow(const Song* song) {
    return song ? song->currentRow.load() : 0;
}

bool songEnded(const Song* song) {
    return song && song->ended.load();
}

void setPasses(Song* song, std::int32_t passes) {
    if (!song) return;
    const std::lock_guard lock(song->player->mixer.passLock);
    song->passLimit = std::max(passes, kPlayForever);
}

void setStereoSeparation(Song* song, std::int32_t percent) {
    if (!song) return;
    const std::lock_guard lock(song->player->mixer.passLock);
    song->stereoSeparation = std::clamp(percent, 0, kFullSeparation);
}

bool songFinished(const Song* song) {
    return song && song->finished.load();
}

void setBpm(Song* song, std::int32_t bpm) {
    if (!song || bpm < 1) return;
    const std::lock_guard lock(song->player->mixer.passLock);
    applyBpm(*song, bpm);
}

void applyBpm(Song& song, std::int32_t bpm) {
    song.bpm = bpm;
    // The constants are single precision; the arithmetic between them is extended.
    const long double tickMs = 1000.0f / (static_cast<long double>(bpm) * 0.4f);
    const long double frames =
        tickMs * static_cast<long double>(song.player->mixer.output.outputRate) * 0.001f;
    song.client.samplesPerTick = std::max(1, static_cast<std::int32_t>(frames));
}

}  // namespace vorn3

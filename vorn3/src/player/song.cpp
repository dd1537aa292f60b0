#include <algorithm>
#include <new>
#include <vector>

#include "mixer/voice.h"
#include "player/loader.h"
#include "player/player.h"
#include "player/song.h"
#include "player/stream.h"

namespace vorn3 {
namespace {

void releaseInstruments(Song& song) {
    if (!song.instruments) return;
    for (std::int32_t i = 0; i < song.instrumentCount; ++i) {
        Instrument& instrument = song.instruments[i];
        for (std::int32_t j = 0; j < instrument.sampleCount; ++j) {
            releaseFrames(instrument.samples[j]->data);
            delete instrument.samples[j];
        }
    }
    delete[] song.instruments;
    song.instruments = nullptr;
}

void releasePatterns(Song& song) {
    if (!song.patterns) return;
    for (std::int32_t i = 0; i < song.patternSlotCount; ++i)
        delete[] song.patterns[i].cells;
    delete[] song.patterns;
    song.patterns = nullptr;
}

// The caller holds passLock.
void stopSong(Song& song) {
    listUnlink(song.client.link);
    song.client.playing = false;
    if (song.channels) {
        for (std::int32_t i = 0; i < song.channelCount; ++i)
            stopVoice(song.player->mixer, i);
        delete[] song.channels;
        song.channels = nullptr;
    }
}

bool tickClient(MixClient& client) {
    Song& song = listRecord<Song>(&client.link);
    song.tickHook(song);
    return true;
}

}  // namespace

Song* songCreate(Player& player, const char* name, SampleDataHook sampleDataHook) {
    SongStream* stream = streamOpen(player, name);
    if (!stream) return nullptr;
    auto* song = new (std::nothrow) Song{};
    if (!song || !registerSong(player, *song)) {
        delete song;
        streamClose(stream);
        return nullptr;
    }
    song->sampleDataHook = sampleDataHook;
    const bool loaded = loadModule(*song, stream);
    streamClose(stream);
    if (!loaded) {
        songFree(song);
        return nullptr;
    }
    return song;
}

Song* songCreate(const char* name, SampleDataHook sampleDataHook) {
    return songCreate(defaultPlayer(), name, sampleDataHook);
}

bool registerSong(Player& player, Song& song) {
    listInit(song.client.link);
    song.client.tick = tickClient;
    song.player = &player;
    try {
        player.songs.push_back(&song);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool songStart(Song* song) {
    if (!song || !song->player->mixer.voicePool) return false;
    Mixer& mixer = song->player->mixer;
    const std::lock_guard lock(mixer.passLock);
    stopSong(*song);
    song->globalVolume = song->defaultGlobalVolume;
    song->nextRow = song->nextOrder = -1;
    song->client.elapsedSeconds = 0.0f;
    song->speed = song->defaultTempo;
    song->currentRow = 0;
    song->currentOrder = 0;
    song->client.samplesLeftInTick = 0;
    song->tick = 0;
    song->patternDelayTicks = 0;
    song->ended = false;
    if (song->startHook) song->startHook(*song);
    setBpm(song, song->defaultBpm);
    song->channels = new (std::nothrow) Channel[song->channelCount]();
    if (!song->channels) return false;
    for (std::int32_t i = 0; i < song->channelCount; ++i)
        song->channels[i].voiceIndex = i;
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
        releaseInstruments(*song);
        releasePatterns(*song);
    }
    std::erase(player.songs, song);
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

void setBpm(Song* song, std::int32_t bpm) {
    if (!song || bpm < 1) return;
    song->bpm = bpm;
    // The constants are single precision; the arithmetic between them is extended.
    const long double tickMs = 1000.0f / (static_cast<long double>(bpm) * 0.4f);
    const long double frames =
        tickMs * static_cast<long double>(song->player->mixer.output.outputRate) * 0.001f;
    song->client.samplesPerTick = std::max(1, static_cast<std::int32_t>(frames));
}

}  // namespace vorn3

#include "platform/AlsaSound.h"

#include <alsa/asoundlib.h>
#include <sndfile.h>

#include <memory>
#include <utility>
#include <vector>

namespace vobrik {

namespace {

constexpr sf_count_t ChunkFrames = 4096;
constexpr unsigned LatencyMicroseconds = 200000;
// Underruns in a row after which the device is taken as broken.
constexpr int MaxRecoveries = 8;

struct SoundFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
struct PcmCloser {
    void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using SoundFile = std::unique_ptr<SNDFILE, SoundFileCloser>;
using Pcm = std::unique_ptr<snd_pcm_t, PcmCloser>;

// ALSA prints every failure of its own on the terminal, eight lines a ring on
// a machine without a sound card. The program already answers a failure with
// the desktop bell, so the lines say nothing the user needs.
extern "C" void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

Pcm OpenDevice(const std::string& device, const SF_INFO& info) {
    snd_lib_error_set_handler(QuietAlsaErrors);
    snd_pcm_t* raw = nullptr;
    // Opened without blocking: a device that another program holds fails at
    // once instead of freezing the program until it is free.
    if (snd_pcm_open(&raw, device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
        return nullptr;
    Pcm pcm(raw);
    if (snd_pcm_nonblock(pcm.get(), 0) < 0)
        return nullptr;
    if (snd_pcm_set_params(pcm.get(), SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED,
                           static_cast<unsigned>(info.channels),
                           static_cast<unsigned>(info.samplerate), 1, LatencyMicroseconds) < 0)
        return nullptr;
    return pcm;
}

bool WriteFrames(snd_pcm_t* pcm, const short* samples, sf_count_t frames, int channels) {
    int recoveries = 0;
    while (frames > 0) {
        const snd_pcm_sframes_t written =
            snd_pcm_writei(pcm, samples, static_cast<snd_pcm_uframes_t>(frames));
        if (written < 0) {
            if (++recoveries > MaxRecoveries ||
                snd_pcm_recover(pcm, static_cast<int>(written), 1) < 0)
                return false;
            continue;
        }
        recoveries = 0;
        samples += written * channels;
        frames -= written;
    }
    return true;
}

} // namespace

TAlsaSound::TAlsaSound(std::function<void()> beep, std::string device)
    : Bell(std::move(beep)), Device(std::move(device)) {}

bool TAlsaSound::PlayFile(const char* path) {
    SF_INFO info{};
    const SoundFile file(sf_open(path, SFM_READ, &info));
    if (!file || info.channels <= 0 || info.samplerate <= 0 || info.frames <= 0)
        return false;
    // ALSA keeps the configuration it parses on opening for the rest of the
    // process: dropped once the device is closed, it is read again at the
    // next ring, minutes or days away.
    struct TConfigRelease {
        ~TConfigRelease() { snd_config_update_free_global(); }
    } release;
    const Pcm pcm = OpenDevice(Device, info);
    if (!pcm)
        return false;

    std::vector<short> samples(static_cast<size_t>(ChunkFrames) * info.channels);
    for (;;) {
        const sf_count_t frames = sf_readf_short(file.get(), samples.data(), ChunkFrames);
        if (frames <= 0)
            break;
        if (!WriteFrames(pcm.get(), samples.data(), frames, info.channels))
            return false;
    }
    // Every sample is with the device by now; a drain that reports an underrun
    // has still played them all.
    snd_pcm_drain(pcm.get());
    return true;
}

void TAlsaSound::Beep() {
    if (Bell)
        Bell();
}

} // namespace vobrik

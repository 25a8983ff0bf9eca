#include "platform/AlsaSound.h"

#include <alsa/asoundlib.h>
#include <sndfile.h>

#include <condition_variable>
#include <csignal>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <utility>
#include <vector>

namespace vobrik {

namespace {

using TClock = std::chrono::steady_clock;

constexpr sf_count_t ChunkFrames = 4096;
constexpr unsigned LatencyMicroseconds = 200000;
// Underruns in a row after which the device is taken as broken.
constexpr int MaxRecoveries = 8;

struct SoundFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
struct PcmCloser {
    // The device is in non-blocking mode: closing drops what it still holds.
    void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using SoundFile = std::unique_ptr<SNDFILE, SoundFileCloser>;
using Pcm = std::unique_ptr<snd_pcm_t, PcmCloser>;

// ALSA prints every failure of its own on the terminal, eight lines a ring on
// a machine without a sound card. The program already answers a failure with
// the desktop bell, so the lines say nothing the user needs.
extern "C" void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

int MsLeft(TClock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Opened and kept without blocking: a device that another program holds fails
// at once, and one that stops taking samples is waited for only until the
// deadline.
Pcm OpenDevice(const std::string& device, const SF_INFO& info) {
    snd_lib_error_set_handler(QuietAlsaErrors);
    snd_pcm_t* raw = nullptr;
    if (snd_pcm_open(&raw, device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
        return nullptr;
    Pcm pcm(raw);
    if (snd_pcm_set_params(pcm.get(), SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED,
                           static_cast<unsigned>(info.channels),
                           static_cast<unsigned>(info.samplerate), 1, LatencyMicroseconds) < 0)
        return nullptr;
    return pcm;
}

bool WriteFrames(snd_pcm_t* pcm, const short* samples, sf_count_t frames, int channels,
                 TClock::time_point deadline) {
    int recoveries = 0;
    while (frames > 0) {
        const snd_pcm_sframes_t written =
            snd_pcm_writei(pcm, samples, static_cast<snd_pcm_uframes_t>(frames));
        if (written == -EAGAIN) {
            if (MsLeft(deadline) == 0)
                return false;
            snd_pcm_wait(pcm, MsLeft(deadline));
            continue;
        }
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

// Waits until the device has played what it holds, or the deadline.
void Drain(snd_pcm_t* pcm, TClock::time_point deadline) {
    snd_pcm_sframes_t delay = 0;
    while (snd_pcm_delay(pcm, &delay) == 0 && delay > 0 && MsLeft(deadline) > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

bool Play(SNDFILE* file, const SF_INFO& info, const std::string& device,
          TClock::time_point deadline) {
    // ALSA keeps the configuration it parses on opening for the rest of the
    // process: dropped once the device is closed, it is read again at the
    // next ring, minutes or days away.
    struct TConfigRelease {
        ~TConfigRelease() { snd_config_update_free_global(); }
    } release;
    const Pcm pcm = OpenDevice(device, info);
    if (!pcm)
        return false;
    std::vector<short> samples(static_cast<size_t>(ChunkFrames) * info.channels);
    for (;;) {
        const sf_count_t frames = sf_readf_short(file, samples.data(), ChunkFrames);
        if (frames <= 0)
            break;
        if (!WriteFrames(pcm.get(), samples.data(), frames, info.channels, deadline))
            return false;
    }
    Drain(pcm.get(), deadline);
    return true;
}

} // namespace

// What the sound's thread shares with the program, which may stop waiting.
struct TAlsaSound::TPlayback {
    std::mutex Lock;
    std::condition_variable Ended;
    bool Done = false;
    bool Played = false;
};

TAlsaSound::TAlsaSound(std::function<void()> beep, std::string device,
                       std::chrono::milliseconds margin)
    : Bell(std::move(beep)), Device(std::move(device)), Margin(margin) {}

bool TAlsaSound::PlayFile(const char* path) {
    if (Last) {
        // A device that still has not given back the last sound is stalled.
        std::unique_lock<std::mutex> lock(Last->Lock);
        if (!Last->Done)
            return false;
    }
    SF_INFO info{};
    SoundFile file(sf_open(path, SFM_READ, &info));
    if (!file || info.channels <= 0 || info.samplerate <= 0 || info.frames <= 0)
        return false;
    const auto length = std::chrono::milliseconds(info.frames * 1000 / info.samplerate);
    const TClock::time_point deadline = TClock::now() + length + Margin;

    // Some devices block inside ALSA's own calls (a plugin writing to a pipe),
    // where no deadline reaches: the sound plays on a thread of its own, and
    // the program waits for it only until the deadline.
    auto playback = std::make_shared<TPlayback>();
    std::thread([playback, file = std::move(file), info, device = Device, deadline]() mutable {
        // A device that writes to a closed pipe gets an error, not the signal
        // that would end the program.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        const bool played = Play(file.get(), info, device, deadline);
        file.reset();
        const std::lock_guard<std::mutex> lock(playback->Lock);
        playback->Played = played;
        playback->Done = true;
        playback->Ended.notify_all();
    }).detach();

    Last = playback;
    std::unique_lock<std::mutex> lock(playback->Lock);
    playback->Ended.wait_until(lock, deadline + std::chrono::milliseconds(100),
                               [&playback] { return playback->Done; });
    return playback->Done && playback->Played;
}

void TAlsaSound::Beep() {
    if (Bell)
        Bell();
}

} // namespace vobrik

#include "platform/AlsaSound.h"

#include "core/CheckPass.h"
#include "platform/SearchPath.h"

#include "Fakes.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace vobrik {
namespace {

using namespace vobrik::test;

// ALSA reads its configuration once per process, so every case that opens a
// device runs in a child of its own, with ALSA_CONFIG_PATH naming only the
// configuration given. The child's exit status is the result.
int InChild(const std::string& alsaConfig, const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("ALSA_CONFIG_PATH", alsaConfig.c_str(), 1);
        _exit(body());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class AlsaSound : public ::testing::Test {
  protected:
    TempDir Dir;
    std::string Played = Dir.Path("played.raw");
    std::string Config = Dir.Path("asound.conf");

    // The default device writes every sample it is given to a file and
    // plays it nowhere.
    void DefaultWritesToFile() {
        std::ofstream(Config) << "pcm.!default {\n"
                                 "    type file\n"
                                 "    slave.pcm { type null }\n"
                                 "    format raw\n"
                                 "    file \"" +
                                     Played + "\"\n}\n";
    }
    void NoSoundCard() { std::ofstream(Config) << "pcm.!default { type hw card 31 }\n"; }

    static std::string RingSound() {
        char path[300];
        return SearchPath("DRING.WAV", path, sizeof path) ? path : "";
    }
};

std::vector<unsigned char> DecodedSamples(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return {};
    std::vector<short> samples(static_cast<size_t>(info.frames) * info.channels);
    const sf_count_t frames = sf_readf_short(file, samples.data(), info.frames);
    sf_close(file);
    samples.resize(static_cast<size_t>(frames) * info.channels);
    const auto* bytes = reinterpret_cast<const unsigned char*>(samples.data());
    return {bytes, bytes + samples.size() * sizeof(short)};
}

TEST_F(AlsaSound, RingSoundFoundOnTheSearchPathIsPlayedSampleForSample) {
    const std::string ring = RingSound();
    ASSERT_FALSE(ring.empty()) << "DRING.WAV is copied beside the test program";
    const auto expected = DecodedSamples(ring);
    ASSERT_GT(expected.size(), 22050u) << "at least half a second of sound";
    DefaultWritesToFile();

    const int status = InChild(Config, [] {
        int beeps = 0;
        TAlsaSound sound([&] { ++beeps; });
        PlayRingSound(sound);
        return beeps;
    });
    EXPECT_EQ(0, status) << "no beep instead of the sound";
    EXPECT_EQ(expected, ReadBytes(Played));
}

TEST_F(AlsaSound, MissingOrNonAudioFileIsNotPlayed) {
    DefaultWritesToFile();
    std::ofstream(Dir.Path("FETES.TXT")) << "01/01;Marie\n02/01;Basile\n";
    std::ofstream(Dir.Path("EMPTY.WAV"));
    const std::string missing = Dir.Path("NONE.WAV");
    const std::string text = Dir.Path("FETES.TXT");
    const std::string empty = Dir.Path("EMPTY.WAV");

    const int status = InChild(Config, [&] {
        TAlsaSound sound;
        return sound.PlayFile(missing.c_str()) * 1 + sound.PlayFile(text.c_str()) * 2 +
               sound.PlayFile(empty.c_str()) * 4;
    });
    EXPECT_EQ(0, status) << "a set bit names a file that was reported as played";
    EXPECT_FALSE(std::filesystem::exists(Played)) << "no device was opened";
}

TEST_F(AlsaSound, WithoutASoundCardTheRingBeepsInstead) {
    NoSoundCard();
    const int status = InChild(Config, [] {
        int beeps = 0;
        TAlsaSound sound([&] { ++beeps; });
        PlayRingSound(sound);
        return beeps;
    });
    EXPECT_EQ(1, status);
}

} // namespace
} // namespace vobrik

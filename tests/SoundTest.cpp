#include "platform/AlsaSound.h"

#include "Support.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vobrik {
namespace {

// A ring sound longer than the 2 s of margin plays to its end on a device
// that plays in real time: the test's own, ALSA writing into a one-page pipe
// that the test reads at the sound's pace.
TEST(Sound, ASoundLongerThanTheMarginPlaysWhole) {
    test::TempDir dir;
    const int rate = 8000, seconds = 3;
    SF_INFO info{0, rate, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
    SNDFILE* wav = sf_open(dir.Path("long.wav").c_str(), SFM_WRITE, &info);
    const std::vector<short> samples(rate * seconds, 1000);
    sf_writef_short(wav, samples.data(), rate * seconds);
    sf_close(wav);
    const std::string pipe = dir.Path("device");
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
    std::ofstream(dir.Path("asound.conf"))
        << "pcm.!default { type file slave.pcm { type null } format raw file \"" << pipe
        << "\" }\n";
    test::ScopedEnv config("ALSA_CONFIG_PATH", dir.Path("asound.conf").c_str());
    // Held open for writing too, the pipe never reads as ended while ALSA opens it.
    const int device = ::open(pipe.c_str(), O_RDWR);
    ASSERT_EQ(4096, ::fcntl(device, F_SETPIPE_SZ, 4096));
    const size_t whole = samples.size() * sizeof(short);
    size_t heard = 0;
    std::thread listener([&] {
        char chunk[rate / 5]; // a tenth of a second of 16-bit samples
        pollfd ready{device, POLLIN, 0};
        while (heard < whole && ::poll(&ready, 1, 3000) == 1) {
            heard += static_cast<size_t>(std::max<ssize_t>(0, ::read(device, chunk, sizeof chunk)));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    EXPECT_TRUE(TAlsaSound().PlayFile(dir.Path("long.wav").c_str()));
    listener.join();
    ::close(device);
    EXPECT_EQ(whole, heard);
}

} // namespace
} // namespace vobrik

#include "platform/AlsaSound.h"

#include "Support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <thread>

namespace vobrik {
namespace {

// A ring sound longer than the 2 s of margin plays to its end on a device
// that plays in real time: ALSA writing into a one-page pipe that the test
// reads at the sound's pace, a tenth of a second at a time.
TEST(Sound, ASoundLongerThanTheMarginPlaysWhole) {
    test::TempDir dir;
    const int rate = 8000;
    const std::vector<short> samples(3 * rate, 1000);
    SF_INFO info{0, rate, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
    SNDFILE* wav = sf_open(dir.Path("long.wav").c_str(), SFM_WRITE, &info);
    sf_writef_short(wav, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(wav);
    const std::string pipe = dir.Path("device");
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
    std::ofstream(dir.Path("asound.conf"))
        << "pcm.!default { type file slave.pcm { type null } format raw file \"" << pipe
        << "\" }\n";
    test::ScopedEnv config("ALSA_CONFIG_PATH", dir.Path("asound.conf").c_str());
    // Open for writing too, the pipe never reads as ended while ALSA opens it.
    const int device = ::open(pipe.c_str(), O_RDWR);
    ASSERT_EQ(4096, ::fcntl(device, F_SETPIPE_SZ, 4096));
    size_t heard = 0;
    std::thread listener([&] {
        char chunk[rate / 5];
        for (pollfd ready{device, POLLIN, 0};
             heard < sizeof(short) * samples.size() && ::poll(&ready, 1, 3000) == 1;
             std::this_thread::sleep_for(std::chrono::milliseconds(100)))
            heard += static_cast<size_t>(std::max<ssize_t>(0, ::read(device, chunk, sizeof chunk)));
    });
    EXPECT_TRUE(TAlsaSound().PlayFile(dir.Path("long.wav").c_str()));
    listener.join();
    ::close(device);
    EXPECT_EQ(sizeof(short) * samples.size(), heard);
}

} // namespace
} // namespace vobrik

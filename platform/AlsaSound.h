#pragma once

#include "platform/Sound.h"

#include <functional>
#include <string>

namespace vobrik {

// The ring sound through ALSA: the file is decoded with libsndfile and played
// to its end on the PCM device, "default" unless told otherwise.
class TAlsaSound : public ISound {
  public:
    // beep is the window system's bell; without it Beep does nothing.
    explicit TAlsaSound(std::function<void()> beep = {}, std::string device = "default");

    // Blocks until the last sample has been played. False when the file is
    // missing or not a sound, when no device can be opened, or when the device
    // fails while playing.
    bool PlayFile(const char* path) override;
    void Beep() override;

  private:
    std::function<void()> Bell;
    std::string Device;
};

} // namespace vobrik

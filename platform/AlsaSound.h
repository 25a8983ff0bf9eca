#pragma once

#include "platform/Sound.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace vobrik {

// The ring sound through ALSA: the file is decoded with libsndfile and played
// to its end on the PCM device, "default" unless told otherwise.
class TAlsaSound : public ISound {
  public:
    // beep is the window system's bell; without it Beep does nothing. A
    // device may stall (a sound server that hangs, a headset asleep): the
    // program waits for the sound's own length plus `margin`, no longer.
    explicit TAlsaSound(std::function<void()> beep = {}, std::string device = "default",
                        std::chrono::milliseconds margin = std::chrono::seconds(2));

    // Returns once the last sample has been played, or at the bound. False
    // when the file is missing or not a sound, when no device can be opened,
    // when the device fails or stalls, or while it still holds a sound that
    // stalled before.
    bool PlayFile(const char* path) override;
    void Beep() override;

    struct TPlayback;

  private:
    std::function<void()> Bell;
    std::string Device;
    std::chrono::milliseconds Margin;
    // The last sound: its thread may still be stuck in a stalled device.
    std::shared_ptr<TPlayback> Last;
};

} // namespace vobrik

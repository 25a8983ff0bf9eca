#pragma once

namespace vobrik {

// What plays the ring: the program plugs in ALSA, the tests a fake.
class ISound {
  public:
    virtual ~ISound() = default;
    // Plays a sound file to its end. False when it could not be played at all.
    virtual bool PlayFile(const char* path) = 0;
    // The exclamation beep.
    virtual void Beep() = 0;
};

} // namespace vobrik

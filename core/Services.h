#pragma once

// The seams through which the reminder logic reaches the outside world. The
// program plugs in the window system; the tests plug in fakes. The sound and
// the message-box numbers belong to platform/, which knows nothing of this.

#include "platform/Sound.h"
#include "platform/Win.h"

#include <cstdint>

namespace vobrik {

// Seconds since 1970-01-01 00:00:00 UTC, as `time` gives them.
class IClock {
  public:
    virtual ~IClock() = default;
    virtual int32_t Now() = 0;
};

// Shows a message to the user. Texts are Windows-1252.
class IMessages {
  public:
    virtual ~IMessages() = default;
    virtual int MessageBox(const char* text, const char* caption, unsigned type) = 0;
};

// What the table needs of the main dialog's list box. Texts are Windows-1252.
class IAlarmList {
  public:
    virtual ~IAlarmList() = default;
    virtual void SetRedraw(bool on) = 0;
    virtual void Clear() = 0;
    // Adds a line at the end and gives its index.
    virtual int AddString(const char* text) = 0;
    virtual void SetItemData(int index, int32_t data) = 0;
    // -1 when nothing is selected.
    virtual int GetSelIndex() = 0;
    // -1 for an invalid index.
    virtual int32_t GetItemData(int index) = 0;
    virtual void Invalidate() = 0;
    // The list has been sorted and shown again; anything else that shows the
    // reminders follows here.
    virtual void Refreshed() {}
};

// The main dialog's window timer.
class ITimer {
  public:
    virtual ~ITimer() = default;
    // Gives the id of the started timer, 0 on failure.
    virtual unsigned SetTimer(unsigned id, unsigned milliseconds) = 0;
    virtual void KillTimer(unsigned id) = 0;
};

struct TAlarmCheckXfer;

// Shows the ring dialog modally on the buffer and gives its result, one of the
// ring results of AlarmCheckXfer.h.
class IRinger {
  public:
    virtual ~IRinger() = default;
    // `due` is when the reminder rings, for the desktop's notification.
    virtual int RingAlarm(TAlarmCheckXfer& xfer, int32_t due) = 0;
};

// Runs the reminder editor on a table slot; true when the user accepted. On
// acceptance the record has been changed, saved and the list refreshed.
class IAlarmEditor {
  public:
    virtual ~IAlarmEditor() = default;
    virtual bool EditAlarm(int slot) = 0;
};

} // namespace vobrik

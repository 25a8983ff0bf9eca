#pragma once

#include "platform/ControlIds.h"

#include <cstddef>
#include <cstdint>

namespace vobrik {

// The ring dialog's transfer buffer, one field per control in construction
// order. After the 205 bytes of text the check states start on an even
// offset, where the transfer puts them too.
struct TAlarmCheckXfer {
    char Message[201];
    char Delay[4];
    uint16_t DelayDays;
    uint16_t DelayHours;
    uint16_t DelayMinutes;
    uint16_t ForAll;
};

static_assert(offsetof(TAlarmCheckXfer, DelayDays) == 206);
static_assert(offsetof(TAlarmCheckXfer, ForAll) == 212);

// Ring results: the button that ended the dialog.
constexpr int RingRemindTomorrow = 1;              // "&Rappel"
constexpr int RingAcknowledge = 2;                 // "&Valider"
constexpr int RingRemindIn = RingDlgIds::RemindIn; // "Rappel dans"

} // namespace vobrik

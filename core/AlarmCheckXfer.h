#pragma once

#include <cstdint>

namespace vobrik {

// The ring dialog's transfer buffer, one field per control in construction order.
struct TAlarmCheckXfer {
    char Message[201];
    char Delay[4];
    uint16_t DelayDays;
    uint16_t DelayHours;
    uint16_t DelayMinutes;
    uint16_t ForAll;
};

// Ring results.
constexpr int RingRemindTomorrow = 1; // "&Rappel"
constexpr int RingAcknowledge = 2;    // "&Valider"
constexpr int RingRemindIn = 101;     // "Rappel dans"

} // namespace vobrik

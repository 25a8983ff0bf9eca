#pragma once

#include <cstddef>
#include <cstdint>

namespace vobrik {

// The ring dialog's transfer buffer, one field per control in construction
// order. The transfer copies field by field with no gap between them; the
// 205 bytes of text would otherwise push the check states one byte on.
#pragma pack(push, 1)
struct TAlarmCheckXfer {
    char Message[201];
    char Delay[4];
    uint16_t DelayDays;
    uint16_t DelayHours;
    uint16_t DelayMinutes;
    uint16_t ForAll;
};
#pragma pack(pop)

static_assert(offsetof(TAlarmCheckXfer, DelayDays) == 205);
static_assert(offsetof(TAlarmCheckXfer, ForAll) == 211);
static_assert(sizeof(TAlarmCheckXfer) == 213);

// Ring results.
constexpr int RingRemindTomorrow = 1; // "&Rappel"
constexpr int RingAcknowledge = 2;    // "&Valider"
constexpr int RingRemindIn = 101;     // "Rappel dans"

} // namespace vobrik

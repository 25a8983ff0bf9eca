#pragma once

#include <cstddef>
#include <cstdint>

namespace vobrik {

// The editor's transfer buffer, one field per control in the order the editor
// constructs its controls. Text fields are as long as their control's limit.
struct TAlarmEditXfer {
    char Message[201];
    char Day[3];
    char Month[3];
    char Year[5];
    char Hour[3];
    char Minute[3];
    uint16_t TypeOnce;
    uint16_t TypeMonthly;
    uint16_t TypeYearly;
    uint16_t TypeEveryDays;
    char EveryDaysText[4];
};

// The transfer copies field by field in this order; a gap would shift every
// field after it.
static_assert(offsetof(TAlarmEditXfer, Day) == 201);
static_assert(offsetof(TAlarmEditXfer, Minute) == 215);
static_assert(offsetof(TAlarmEditXfer, TypeOnce) == 218);
static_assert(offsetof(TAlarmEditXfer, EveryDaysText) == 226);
static_assert(sizeof(TAlarmEditXfer) == 230);

} // namespace vobrik

// Any bytes as a calendar file to import. The text is refused whole, or gives
// reminders due after now, on a kind the program knows, with a one-line
// message the record can hold. Exported and imported again, they come back
// the same, on the same reading of the local clock.

#include "calendar/ICalendar.h"
#include "core/LocalTime.h"

#include "FuzzSupport.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

using namespace vobrik;

// 2026-10-25 02:30 in Paris, the hour the autumn change repeats.
constexpr int32_t Now = 1792888200;

std::string Trimmed(const char* message) {
    std::string text(message);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

bool SameClock(int32_t a, int32_t b) {
    const std::tm x = ToLocal(a), y = ToLocal(b);
    return x.tm_year == y.tm_year && x.tm_mon == y.tm_mon && x.tm_mday == y.tm_mday &&
           x.tm_hour == y.tm_hour && x.tm_min == y.tm_min && x.tm_sec == y.tm_sec;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    vobrik::fuzz::UseZone("Europe/Paris");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TICalendarImport first =
        ImportICalendar(std::string_view(reinterpret_cast<const char*>(data), size), Now);
    if (!first.Error.empty()) {
        VOBRIK_FUZZ_CHECK(first.Alarms.empty() && first.Skipped.empty());
        return 0;
    }
    for (const TAlarm& alarm : first.Alarms) {
        VOBRIK_FUZZ_CHECK(alarm.When > Now);
        VOBRIK_FUZZ_CHECK(alarm.Type >= atOnce && alarm.Type <= atEveryDays);
        VOBRIK_FUZZ_CHECK(alarm.EveryDays >= 0 && alarm.EveryDays <= 999);
        const char* end =
            static_cast<const char*>(std::memchr(alarm.Message, '\0', AlarmMessageSize));
        VOBRIK_FUZZ_CHECK(end != nullptr);
        VOBRIK_FUZZ_CHECK(std::none_of(
            alarm.Message, end, [](char c) { return static_cast<unsigned char>(c) < 0x20; }));
    }

    const std::string exported = ExportICalendar(first.Alarms, LocalZoneName(), Now);
    const TICalendarImport again = ImportICalendar(exported, Now);
    VOBRIK_FUZZ_CHECK(again.Error.empty() && again.Skipped.empty());
    VOBRIK_FUZZ_CHECK(again.Alarms.size() == first.Alarms.size());
    for (size_t i = 0; i < first.Alarms.size(); ++i) {
        const TAlarm &before = first.Alarms[i], &after = again.Alarms[i];
        VOBRIK_FUZZ_CHECK(SameClock(before.When, after.When));
        VOBRIK_FUZZ_CHECK(before.Type == after.Type && before.EveryDays == after.EveryDays);
        // libical drops the spaces that end a value.
        VOBRIK_FUZZ_CHECK(Trimmed(before.Message) == Trimmed(after.Message));
    }
    return 0;
}

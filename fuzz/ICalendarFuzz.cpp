// Any bytes as a calendar file to import. The text is refused whole, or gives
// reminders due after now with a one-line message the record can hold. Exported
// and imported again, they come back the same, on the same local clock reading.

#include "calendar/ICalendar.h"
#include "core/LocalTime.h"

#include "FuzzSupport.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>

namespace {

using namespace vobrik;

using vobrik::fuzz::Now;

// The local clock reading, the kind, and the message without the spaces that
// end it, which libical drops from any value.
auto Seen(const TAlarm& alarm) {
    const std::tm t = ToLocal(alarm.When);
    std::string text(alarm.Message);
    text.erase(text.find_last_not_of(' ') + 1);
    return std::make_tuple(t.tm_year, t.tm_yday, t.tm_hour, t.tm_min, t.tm_sec, alarm.Type,
                           alarm.EveryDays, text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto first = ImportICalendar({reinterpret_cast<const char*>(data), size}, Now);
    VOBRIK_FUZZ_CHECK(first.Error.empty() || (first.Alarms.empty() && first.Skipped.empty()));
    VOBRIK_FUZZ_CHECK(first.Notes.size() == first.Alarms.size());
    for (const TAlarm& alarm : first.Alarms) {
        VOBRIK_FUZZ_CHECK(alarm.When > Now && alarm.Type >= atOnce && alarm.Type <= atEveryDays);
        VOBRIK_FUZZ_CHECK(alarm.EveryDays >= 0 && alarm.EveryDays <= 999);
        const char* end = alarm.Message + strnlen(alarm.Message, AlarmMessageSize);
        VOBRIK_FUZZ_CHECK(end < alarm.Message + AlarmMessageSize);
        VOBRIK_FUZZ_CHECK(std::none_of(alarm.Message, end, [](char c) { return c > 0 && c < 32; }));
    }
    const auto again = ImportICalendar(ExportICalendar(first.Alarms, LocalZoneName(), Now), Now);
    VOBRIK_FUZZ_CHECK(again.Error.empty() && again.Skipped.empty());
    VOBRIK_FUZZ_CHECK(again.Alarms.size() == first.Alarms.size());
    for (size_t i = 0; i < first.Alarms.size(); ++i)
        VOBRIK_FUZZ_CHECK(Seen(first.Alarms[i]) == Seen(again.Alarms[i]));
    return 0;
}

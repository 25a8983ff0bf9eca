#include "dialogs/EditAlarm.h"

#include "core/CheckPass.h"
#include "core/LocalTime.h"
#include "platform/Text1252.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace vobrik {

namespace {

constexpr const char* OutOfRangeCaption = "Vobrik";

} // namespace

const char* const OutOfRangeText =
    "Cette date ne peut pas être enregistrée : Vobrik ne garde que les alarmes des années 1902 à "
    "2037.\nCorrigez la date puis validez de nouveau.";

namespace {

// Values the three-character interval edit can show.
constexpr int32_t LowestShownInterval = -99;
constexpr int32_t HighestShownInterval = 999;

// itoa into a field that is zero-filled. Every value written here fits its
// field; one that did not would leave the field empty rather than cut.
template <size_t N> void PutNumber(char (&field)[N], long value) {
    std::memset(field, 0, N);
    const std::to_chars_result written = std::to_chars(field, field + N - 1, value);
    if (written.ec != std::errc())
        std::memset(field, 0, N);
}

// atol on a field that need not end in a zero.
template <size_t N> int FieldNumber(const char (&field)[N]) {
    char text[N + 1] = {};
    std::memcpy(text, field, N);
    return static_cast<int>(std::atol(text));
}

template <size_t N> bool FieldEquals(const char (&field)[N], const char (&text)[N]) {
    return std::strncmp(field, text, N) == 0;
}

// What the interval edit shows for a stored interval. A value read from a file
// that three characters cannot show is shown at the nearest end; the stored
// value is kept as long as the user leaves the edit alone.
void ShownInterval(int32_t everyDays, char (&text)[sizeof TAlarmEditXfer::EveryDaysText]) {
    long shown = everyDays;
    if (shown < LowestShownInterval)
        shown = LowestShownInterval;
    if (shown > HighestShownInterval)
        shown = HighestShownInterval;
    PutNumber(text, shown);
}

// mktime, empty when the result does not fit a When. A real -1 (one second
// before 1970 in UTC) is told apart from failure by errno.
std::optional<int32_t> WhenOf(std::tm& local) {
    errno = 0;
    const time_t t = mktime(&local);
    if (t == static_cast<time_t>(-1) && errno != 0)
        return std::nullopt;
    if (t < std::numeric_limits<int32_t>::min() || t > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(t);
}

bool SameClockReading(const std::tm& a, const std::tm& b) {
    return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon && a.tm_mday == b.tm_mday &&
           a.tm_hour == b.tm_hour && a.tm_min == b.tm_min && a.tm_sec == b.tm_sec;
}

} // namespace

std::tm FillEditXfer(const TAlarm& alarm, TAlarmEditXfer& xfer) {
    std::memset(&xfer, 0, sizeof xfer);
    std::memcpy(xfer.Message, alarm.Message, strnlen(alarm.Message, AlarmMessageSize - 1));

    const std::tm local = ToLocal(alarm.When);
    PutNumber(xfer.Day, local.tm_mday);
    PutNumber(xfer.Month, local.tm_mon + 1);
    PutNumber(xfer.Year, local.tm_year + 1900L);
    PutNumber(xfer.Hour, local.tm_hour);
    PutNumber(xfer.Minute, local.tm_min);

    xfer.TypeOnce = alarm.Type == atOnce;
    xfer.TypeMonthly = alarm.Type == atMonthly;
    xfer.TypeYearly = alarm.Type == atYearly;
    xfer.TypeEveryDays = alarm.Type == atEveryDays;
    ShownInterval(alarm.EveryDays, xfer.EveryDaysText);
    return local;
}

std::optional<int32_t> TypedWhen(const TAlarmEditXfer& xfer, const std::tm& kept) {
    std::tm typed = kept;
    typed.tm_mday = FieldNumber(xfer.Day);
    typed.tm_mon = FieldNumber(xfer.Month) - 1;
    typed.tm_year = FieldNumber(xfer.Year) - 1900;
    typed.tm_hour = FieldNumber(xfer.Hour);
    typed.tm_min = FieldNumber(xfer.Minute);

    // The typed hour is read on the local clock of the typed date. The old
    // daylight-saving flag only chooses between the two readings of an hour
    // that the autumn change repeats: applied to a date on the other side of a
    // change, it would move the hour the user typed by one.
    std::tm onClock = typed;
    onClock.tm_isdst = -1;
    const std::optional<int32_t> clockWhen = WhenOf(onClock);
    if (!clockWhen)
        return std::nullopt;
    std::tm withOldFlag = typed;
    const std::optional<int32_t> flagWhen = WhenOf(withOldFlag);
    if (flagWhen && SameClockReading(withOldFlag, onClock))
        return flagWhen;
    return clockWhen;
}

void ApplyEditXfer(const TAlarmEditXfer& xfer, int32_t when, TAlarm& alarm) {
    // Cut at 199 bytes; a Windows-1252 character is one byte, so no character is split.
    SetAlarmMessage(alarm, xfer.Message);

    if (xfer.TypeOnce == 1)
        alarm.Type = atOnce;
    if (xfer.TypeMonthly == 1)
        alarm.Type = atMonthly;
    if (xfer.TypeYearly == 1)
        alarm.Type = atYearly;
    if (xfer.TypeEveryDays == 1)
        alarm.Type = atEveryDays;

    char shown[sizeof xfer.EveryDaysText];
    ShownInterval(alarm.EveryDays, shown);
    if (!FieldEquals(xfer.EveryDaysText, shown))
        alarm.EveryDays = FieldNumber(xfer.EveryDaysText);

    alarm.When = when;
}

TAlarmEditor::TAlarmEditor(TAlarmTable& table, ITimer& timer, unsigned& timerId,
                           IAlarmEditDialog& dialog)
    : Table(table), Timer(timer), TimerId(timerId), Dialog(dialog) {}

bool TAlarmEditor::EditAlarm(int index) {
    if (index < 0 || index >= Table.AlarmCount)
        return false;
    if (TimerId != 0)
        Timer.KillTimer(TimerId);

    TAlarm& alarm = *Table.Alarms[index];
    TAlarmEditXfer xfer;
    const std::tm kept = FillEditXfer(alarm, xfer);

    // A date the record cannot hold is refused and the editor opens again on
    // what was typed, so nothing the user entered is lost. The timer stays
    // stopped until the editor is closed for good.
    std::optional<int32_t> when;
    while (Dialog.Execute(xfer) == IDOK) {
        when = TypedWhen(xfer, kept);
        if (when)
            break;
        Table.Messages().MessageBox(Windows1252FromUtf8(OutOfRangeText).c_str(), OutOfRangeCaption,
                                    MB_OK);
    }
    TimerId = Timer.SetTimer(CheckTimerId, CheckPeriodMs);
    if (!when)
        return false;

    StoreEdit(Table, xfer, *when, alarm);
    return true;
}

bool StoreEdit(TAlarmTable& table, const TAlarmEditXfer& xfer, int32_t when, TAlarm& alarm) {
    ApplyEditXfer(xfer, when, alarm);
    const bool saved = table.SaveAlarms();
    table.RefreshAlarmList();
    return saved;
}

} // namespace vobrik

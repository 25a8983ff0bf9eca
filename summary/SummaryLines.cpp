#include "summary/SummaryLines.h"

#include "core/LocalTime.h"

#include <cstdio>
#include <cstring>

namespace vobrik {

TSummaryLine::~TSummaryLine() {
    auto rest = std::move(Next);
    while (rest)
        rest = std::move(rest->Next);
}

namespace {

// Each midnight is read with the offset in force on its own date: kept from
// `now`, it would be an hour off across a daylight-saving change.
int32_t NextMidnight(std::tm& day) {
    day.tm_hour = 0;
    day.tm_min = 0;
    day.tm_sec = 0;
    return NextDay(day);
}

} // namespace

TDayBounds SummaryDayBounds(int32_t now) {
    std::tm day = ToLocal(now);
    TDayBounds bounds{};
    bounds.TomorrowStart = NextMidnight(day);
    // A day without a midnight (the clock jumps from 23:59 to 01:00) comes
    // back from mktime at 01:00; the next day still starts at 00:00.
    bounds.DayAfterStart = NextMidnight(day);
    return bounds;
}

int CountLines(const TSummaryLine* head) {
    int count = 0;
    for (; head != nullptr; head = head->Next.get())
        ++count;
    return count;
}

namespace {

class TListBuilder {
  public:
    explicit TListBuilder(TSummaryLines& head) : Tail(&head) {}
    void Append(const char* prefix, const TAlarm& alarm) {
        std::string text = prefix;
        text.append(alarm.Message, strnlen(alarm.Message, sizeof alarm.Message));
        *Tail = std::make_unique<TSummaryLine>(std::move(text));
        Tail = &(*Tail)->Next;
    }

  private:
    TSummaryLines* Tail;
};

void AppendTimed(TListBuilder& list, const TAlarm& alarm) {
    const std::tm local = ToLocal(alarm.When);
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%02d:%02d - ", local.tm_hour, local.tm_min);
    list.Append(prefix, alarm);
}

} // namespace

TSummaryLists BuildSummaryLines(const TAlarmTable& table, int32_t now) {
    const TDayBounds bounds = SummaryDayBounds(now);
    TSummaryLists lists;

    TListBuilder today(lists.Today);
    for (int i = 0; i < table.AlarmCount; ++i) {
        const TAlarm* alarm = table.Alarms[i].get();
        if (alarm == nullptr || alarm->When >= bounds.TomorrowStart)
            continue;
        if (alarm->When < now)
            today.Append(OverduePrefix, *alarm);
        else
            AppendTimed(today, *alarm);
    }

    TListBuilder tomorrow(lists.Tomorrow);
    for (int i = 0; i < table.AlarmCount; ++i) {
        const TAlarm* alarm = table.Alarms[i].get();
        if (alarm != nullptr && alarm->When >= bounds.TomorrowStart &&
            alarm->When < bounds.DayAfterStart)
            AppendTimed(tomorrow, *alarm);
    }
    return lists;
}

} // namespace vobrik

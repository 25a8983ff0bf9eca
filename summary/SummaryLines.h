#pragma once

#include "core/AlarmTable.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace vobrik {

// One line of the day summary: a time or overdue prefix and the reminder's
// message, in Windows-1252. Lines form a singly linked list; each line owns
// the rest of its list.
struct TSummaryLine {
    std::string Text;
    std::unique_ptr<TSummaryLine> Next;

    TSummaryLine() = default;
    explicit TSummaryLine(std::string text) : Text(std::move(text)) {}
    TSummaryLine(const TSummaryLine&) = delete;
    TSummaryLine& operator=(const TSummaryLine&) = delete;
    // Frees the rest of the list one line at a time, not by recursion.
    ~TSummaryLine();
};

// The head of a list; empty when the list is.
using TSummaryLines = std::unique_ptr<TSummaryLine>;

struct TSummaryLists {
    TSummaryLines Today;
    TSummaryLines Tomorrow;
};

constexpr const char* OverduePrefix = "<alarme> - ";

// The summary lines of the table at `now`. Today's list holds every reminder
// due before tomorrow's local midnight, overdue ones included; tomorrow's list
// holds those due from then until the next local midnight. Both follow table
// order. The table is only read.
TSummaryLists BuildSummaryLines(const TAlarmTable& table, int32_t now);

// Local midnight at the start of the day after `now`'s, and of the day after
// that, each on the local clock of that date.
struct TDayBounds {
    int32_t TomorrowStart;
    int32_t DayAfterStart;
};
TDayBounds SummaryDayBounds(int32_t now);

int CountLines(const TSummaryLine* head);

} // namespace vobrik

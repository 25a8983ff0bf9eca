#pragma once

#include "core/Alarm.h"
#include "core/AlarmTable.h"
#include "core/Services.h"
#include "dialogs/AlarmEditXfer.h"

#include <ctime>
#include <optional>

namespace vobrik {

constexpr int AlarmEditTemplate = 2001;

// Characters each edit of the editor accepts, in construction order. The
// message edit takes 199, not the 200 its 201-byte field could hold: the record
// keeps 199 and its zero, and a 200th character would be lost on saving.
constexpr int EditMessageChars = 199;
constexpr int EditDayChars = 2;
constexpr int EditMonthChars = 2;
constexpr int EditYearChars = 4;
constexpr int EditHourChars = 2;
constexpr int EditMinuteChars = 2;
constexpr int EditEveryDaysChars = 3;

// What the editor says of a date a When cannot hold; Windows-1252.
extern const char* const OutOfRangeText;

// Runs the editor dialog modally on the buffer. Gives IDOK once the controls
// have been copied back into the buffer, IDCANCEL when the user cancelled.
class IAlarmEditDialog {
  public:
    virtual ~IAlarmEditDialog() = default;
    virtual int Execute(TAlarmEditXfer& xfer) = 0;
};

// Fills the buffer from the record. Gives the broken-down local time of its
// When, whose seconds and daylight-saving flag the typed time keeps.
std::tm FillEditXfer(const TAlarm& alarm, TAlarmEditXfer& xfer);

// The due time typed in the buffer, normalised by mktime on top of the kept
// broken-down time. Empty when it lies outside what a When can hold.
std::optional<int32_t> TypedWhen(const TAlarmEditXfer& xfer, const std::tm& kept);

// Writes an accepted buffer into the record; the Id is never touched.
void ApplyEditXfer(const TAlarmEditXfer& xfer, int32_t when, TAlarm& alarm);

// What the editor's OK does with an accepted buffer: writes it into the
// record, saves the table and shows the list again. False when the file could
// not be written; the record is kept in the table all the same.
bool StoreEdit(TAlarmTable& table, const TAlarmEditXfer& xfer, int32_t when, TAlarm& alarm);

// The main dialog's EditAlarm: runs the editor on a table slot with the check
// timer stopped, and saves and refreshes when the user confirms.
class TAlarmEditor : public IAlarmEditor {
  public:
    // timerId is the main dialog's stored check-timer id, read and replaced here.
    TAlarmEditor(TAlarmTable& table, ITimer& timer, unsigned& timerId, IAlarmEditDialog& dialog);

    bool EditAlarm(int index) override;

  private:
    TAlarmTable& Table;
    ITimer& Timer;
    unsigned& TimerId;
    IAlarmEditDialog& Dialog;
};

} // namespace vobrik

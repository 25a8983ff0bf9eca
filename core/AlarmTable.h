#pragma once

#include "core/Alarm.h"
#include "core/FileOps.h"
#include "core/Services.h"

#include <memory>
#include <string>
#include <vector>

namespace vobrik {

constexpr const char* AlarmFileName = "ALARMS.VBK";

// What the user is told when a reminder is added to a full table; Windows-1252.
extern const char* const TableFullText;

enum class TLoadResult { NoFile, Loaded, OpenFailed };

// Every reminder of the running program, kept sorted by When outside a check
// pass and an edit, and written to the reminder file after every change.
class TAlarmTable {
  public:
    static constexpr int MaxAlarms = 100;

    TAlarmTable(IAlarmList& list, IMessages& messages, IClock& clock,
                IFileOps& files = SystemFileOps(), std::string fileName = AlarmFileName);

    std::unique_ptr<TAlarm> Alarms[MaxAlarms];
    int32_t AlarmCount = 0;
    int32_t NextId = 1;

    TLoadResult LoadAlarms();
    // False when the file could not be written; the user has been told.
    bool SaveAlarms();
    void RefreshAlarmList();

    void AddAlarm(IAlarmEditor& editor);
    void ModifySelectedAlarm(IAlarmEditor& editor);
    void DeleteSelectedAlarm();

    bool IsFull() const { return AlarmCount >= MaxAlarms; }
    // Puts a copy in the next free slot with the next Id. Null when full.
    TAlarm* Append(const TAlarm& alarm);
    // Frees slot i and moves the last used record into it.
    void RemoveByMovingLast(int i);

    const std::string& FileName() const { return FileName_; }
    IClock& Clock() { return Clock_; }
    IMessages& Messages() { return *Messages_; }
    // Sends the table's messages elsewhere, to a command's answer rather than
    // a box on the screen; gives the previous receiver.
    IMessages& SwapMessages(IMessages& messages);

  private:
    int FindSelected();
    void Clear();

    IAlarmList& List;
    IMessages* Messages_;
    IClock& Clock_;
    IFileOps& Files;
    std::string FileName_;
    // Whole records found in the file beyond MaxAlarms. They are written back
    // after the table at every save, so that no reminder the user kept is lost.
    std::vector<unsigned char> Overflow;
    // Set when the file exists but could not be read: replacing it would lose
    // every reminder it holds.
    bool SaveBlocked = false;
};

} // namespace vobrik

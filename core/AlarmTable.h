#pragma once

#include "core/Alarm.h"
#include "core/FileOps.h"
#include "core/Services.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vobrik {

constexpr const char* AlarmFileName = "ALARMS.VBK";

// What the user is told when a reminder is added to a full table.
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
    // False when the file could not be written; the user has been told. The
    // file is read first: this table's own changes since it was last read or
    // written are applied to what it holds now (someone else may have changed
    // it), and the table takes the result.
    bool SaveAlarms();
    // Reads the file again if someone else has changed it; true if the table
    // took a new content. Shows nothing. A table holding changes it could not
    // write keeps them: its next save merges them.
    bool ReloadIfChanged();
    // Asked once a save's bytes are on the disk, just before they replace the
    // file: false withdraws the save (a command whose caller gave up).
    std::function<bool()> StillWanted;
    void RefreshAlarmList();

    void AddAlarm(IAlarmEditor& editor);
    void ModifySelectedAlarm(IAlarmEditor& editor);
    void DeleteSelectedAlarm();

    bool IsFull() const { return AlarmCount >= MaxAlarms; }
    // Puts a copy in the next free slot with the next Id. Null when full.
    TAlarm* Append(const TAlarm& alarm);
    // Frees slot i and moves the last used record into it.
    void RemoveByMovingLast(int i);
    // Removes slot i, the later ones moving up in order (no refresh, no save).
    void RemoveAt(int slot);

    const std::string& FileName() const { return FileName_; }
    IClock& Clock() { return Clock_; }
    IMessages& Messages() { return *Messages_; }
    // Sends the table's messages elsewhere, to a command's answer rather than
    // a box on the screen; gives the previous receiver.
    IMessages& SwapMessages(IMessages& messages);

    // What the check pass made of a due reminder: its next ring, its
    // postponement. If someone else took the reminder out of the file
    // meanwhile, none of it is brought back by the next save: an answer to a
    // ring never undoes a deletion.
    void NoteAnswer(const TAlarm& due, const std::vector<TAlarm>& madeOfIt);

    // What identifies the file's content on disk: when it differs from what
    // the table last read or wrote, someone else has written the file.
    struct TStamp {
        bool Exists = false;
        unsigned long long Device = 0, Inode = 0, Size = 0;
        long long Modified = 0, Changed = 0;
        bool operator==(const TStamp& other) const;
    };

  private:
    int FindSelected();
    void Clear();
    // Reads the file into `contents` and gives the stamp it was read under,
    // reading again while it changes underneath.
    TReadResult ReadStable(std::vector<unsigned char>& contents, TStamp& stamp);
    // Reads the file into the table, which takes the stamp it was read under.
    TReadResult ReadFile();
    // Takes whole records as the table and its overflow.
    void Take(const std::vector<unsigned char>& contents);
    std::vector<unsigned char> Image() const;
    // This table's changes since Base, applied to the file as it is now;
    // `notice` says when a change of the user's met another one.
    bool MergeWithFile(std::vector<unsigned char>& image, std::string& notice);
    // What the answers to rings since the last save make of a merge: a due
    // reminder gone from the file takes what its answer made with it, unless
    // an older time of it was put back (`dropped`, by record of `theirs`).
    void SettleAnswers(const std::vector<unsigned char>& theirs,
                       const std::map<std::string, int>& present,
                       const std::map<std::string, int>& base, std::map<std::string, int>& removed,
                       std::map<std::string, int>& added, std::vector<bool>& dropped);
    // One try of a save: merge, keep a damaged file aside, replace the file.
    // EAGAIN: the file changed again before the rename.
    bool TrySave(std::vector<unsigned char>& image, std::string& notice);

    IAlarmList& List;
    IMessages* Messages_;
    IClock& Clock_;
    IFileOps& Files;
    std::string FileName_;
    // Whole records found in the file beyond MaxAlarms. They are written back
    // after the table at every save, so that no reminder the user kept is lost.
    std::vector<unsigned char> Overflow;
    // The file's records and stamp as last read or written.
    std::vector<unsigned char> Base;
    TStamp Stamp;
    // The bytes of a file read that was not whole records: kept aside, byte
    // for byte, before the file is first rewritten.
    std::vector<unsigned char> Damaged;
    struct TAnswer {
        std::string Due, Reminder; // its content, and the same without its time
        int32_t When;
        std::vector<std::string> Made;
    };
    std::vector<TAnswer> Answers; // since the last save, by content
    // Copies them beside the file; `notice` says where, for the user.
    bool KeepDamagedAside(std::string& notice);
};

} // namespace vobrik

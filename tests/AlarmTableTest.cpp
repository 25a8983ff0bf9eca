#include "core/AlarmTable.h"

#include "Support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace vobrik {
namespace {

using namespace vobrik::test;
namespace fs = std::filesystem;

struct Record {
    int32_t When;
    const char* Message;
    uint8_t Type = atOnce;
    int32_t EveryDays = 0;
    int32_t Id = 0;
};

// The file images of the records, one after another.
std::vector<unsigned char> Images(std::initializer_list<Record> records) {
    std::vector<TAlarm> alarms;
    for (const Record& r : records) {
        alarms.push_back({r.When, {}, r.Type, r.EveryDays, r.Id});
        SetAlarmMessage(alarms.back(), r.Message);
    }
    return FileImage(alarms);
}

class AlarmTable : public ::testing::Test, protected TCoreRig {
  protected:
    FakeEditor Editor;
    std::string File = Table.FileName();

    void Load(const std::vector<unsigned char>& bytes) {
        WriteBytes(File, bytes);
        ASSERT_EQ(TLoadResult::Loaded, Table.LoadAlarms());
    }
};

TEST_F(AlarmTable, LoadDropsAnIncompleteTailAndSortsStablyWithIdsInFileOrder) {
    auto bytes = Images({{50, "late", atOnce, 0, 77},
                         {10, "first"},
                         {10, "second"},
                         {10, "third", atYearly, 5},
                         {5, "early"}});
    bytes.insert(bytes.end(), 100, 0x55);
    Load(bytes);
    EXPECT_EQ((std::vector<std::pair<std::string, int32_t>>{
                  {"early", 5}, {"first", 2}, {"second", 3}, {"third", 4}, {"late", 1}}),
              List.Lines);
    ASSERT_TRUE(Table.SaveAlarms());
    EXPECT_EQ(Images({{5, "early", atOnce, 0, 5},
                      {10, "first", atOnce, 0, 2},
                      {10, "second", atOnce, 0, 3},
                      {10, "third", atYearly, 5, 4},
                      {50, "late", atOnce, 0, 1}}),
              ReadBytes(File));
}

// Once it can be read, the reminders added meanwhile are merged into it.
TEST_F(AlarmTable, UnreadableFileIsNeverOverwrittenThenMergedInto) {
    const auto bytes = Images({{10, "keep me"}, {20, "and me"}});
    WriteBytes(File, bytes);
    Files.FailNext(FaultyFileOps::ReadCall);
    EXPECT_EQ(TLoadResult::OpenFailed, Table.LoadAlarms());
    Add(5, "new");
    Files.FailNext(FaultyFileOps::ReadCall);
    EXPECT_FALSE(Table.SaveAlarms());
    EXPECT_EQ((std::vector<std::string>{"File Access Error", "File Write Error"}), Messages.Log);
    EXPECT_EQ(bytes, ReadBytes(File));
    ASSERT_TRUE(Table.SaveAlarms());
    EXPECT_EQ((std::vector<std::string>{"new", "keep me", "and me"}), List.Texts());
}

TEST_F(AlarmTable, AddOpensTheEditorOnANewRecordAndCancelRemovesIt) {
    Load(Images({{10, "a"}}));
    Clock.Time = 1000;
    Editor.Edit = [&](int slot) {
        EXPECT_EQ(1000, Table.Alarms[slot]->When);
        EXPECT_EQ(atOnce, Table.Alarms[slot]->Type);
        return false;
    };
    Table.AddAlarm(Editor);
    EXPECT_EQ(1, Table.AlarmCount);
    EXPECT_EQ(std::vector<int>{1}, Editor.Slots);

    Editor.Edit = [](int) { return true; };
    Table.AddAlarm(Editor);
    EXPECT_EQ(2, Table.AlarmCount);

    for (int i = Table.AlarmCount; i < TAlarmTable::MaxAlarms; ++i)
        Table.Append(TAlarm{});
    Table.AddAlarm(Editor);
    EXPECT_EQ(2u, Editor.Slots.size()) << "a full table opens no editor";
    ASSERT_EQ(1u, Messages.Log.size());
    EXPECT_NE(std::string::npos, Messages.Log[0].find("100"));
}

TEST_F(AlarmTable, ModifyAndDeleteActOnTheSelectedLineAndDeleteAlwaysSaves) {
    Load(Images({{30, "c"}, {10, "a"}, {20, "b"}}));
    Table.ModifySelectedAlarm(Editor);
    EXPECT_TRUE(Editor.Slots.empty()) << "no selection opens no editor";
    List.Selected = 1;
    Table.ModifySelectedAlarm(Editor);
    ASSERT_EQ(1u, Editor.Slots.size());
    EXPECT_STREQ("b", Table.Alarms[Editor.Slots[0]]->Message);

    std::remove(File.c_str());
    Table.DeleteSelectedAlarm();
    EXPECT_EQ((std::vector<std::string>{"a", "c"}), List.Texts());
    EXPECT_EQ(Images({{10, "a", atOnce, 0, 2}, {30, "c", atOnce, 0, 1}}), ReadBytes(File));

    std::remove(File.c_str());
    Table.DeleteSelectedAlarm(); // nothing selected: nothing removed, the file written again
    EXPECT_EQ(2 * AlarmRecordSize, ReadBytes(File).size());
}

// Another program adds "x" and drops "b"; this table deletes one of the twins
// "a": the merge keeps the other. A damaged file read before is kept aside
// once, not at every save, and the user is told once the save is done.
TEST_F(AlarmTable, ASaveAppliesItsChangesToAFileChangedBehindIt) {
    struct : IMessages {
        std::string File;
        std::vector<size_t> Sizes; // of the file, when each box shows
        int MessageBox(const char*, const char*, unsigned) override {
            Sizes.push_back(ReadBytes(File).size());
            return IDOK;
        }
    } told;
    told.File = File;
    std::vector<unsigned char> damaged = Images({{10, "a"}, {10, "a"}, {20, "b"}});
    damaged.push_back(1);
    WriteBytes(File, damaged);
    Table.SwapMessages(told);
    ASSERT_EQ(TLoadResult::Loaded, Table.LoadAlarms());
    WriteBytes(File, Images({{10, "a"}, {10, "a"}, {5, "x"}}));
    List.Selected = 0;
    Table.DeleteSelectedAlarm();
    Table.SaveAlarms();
    EXPECT_EQ((std::vector<std::string>{"x", "a"}), List.Texts());
    EXPECT_EQ(std::vector<size_t>{2 * AlarmRecordSize}, told.Sizes);

    // Rewritten in place while the save writes: read and merged, not replaced.
    Files.OnFsync = [&] { WriteBytes(File, Images({{5, "x"}, {7, "pendant"}})); };
    Add(9, "ici");
    ASSERT_TRUE(Table.SaveAlarms());
    EXPECT_EQ((std::vector<std::string>{"x", "pendant", "ici"}), List.Texts());
}

TEST_F(AlarmTable, RecordsBeyondCapacityAreKeptInTheFile) {
    std::vector<TAlarm> alarms(103);
    for (int i = 0; i < 103; ++i)
        alarms[i].When = i, SetAlarmMessage(alarms[i], ("n" + std::to_string(i)).c_str());
    const auto bytes = FileImage(alarms);
    Load(bytes);
    EXPECT_EQ(TAlarmTable::MaxAlarms, Table.AlarmCount);
    EXPECT_EQ(1u, Messages.Log.size()) << "the user is told";
    ASSERT_TRUE(Table.SaveAlarms());
    const auto saved = ReadBytes(File);
    ASSERT_EQ(bytes.size(), saved.size());
    EXPECT_TRUE(std::equal(bytes.end() - 3 * AlarmRecordSize, bytes.end(),
                           saved.end() - 3 * AlarmRecordSize));
}

// The reminder file under faults: a save that fails is reported, keeps the old
// file and leaves no temporary file; a load that cannot read is refused.
class FileFaults : public AlarmTable {
  protected:
    bool NoTemporary() const {
        for (const auto& entry : fs::directory_iterator(Dir.Root()))
            if (entry.path().filename().string().rfind("ALARMS.VBK.tmp", 0) == 0)
                return false;
        return true;
    }

    // 40 records of this variant, so that a partly replaced file would show.
    void Fill(int variant) {
        while (Table.AlarmCount > 0)
            Table.RemoveByMovingLast(Table.AlarmCount - 1);
        for (int i = 0; i < 40; ++i)
            Add(1000 + i, ("message " + std::to_string(variant) + " " + std::to_string(i)).c_str(),
                static_cast<uint8_t>(i % 4 + 1), i);
    }
    std::vector<unsigned char> Image() const {
        std::vector<TAlarm> alarms;
        for (int i = 0; i < Table.AlarmCount; ++i)
            alarms.push_back(*Table.Alarms[i]);
        return FileImage(alarms);
    }
    void ExpectSaved() {
        EXPECT_TRUE(Table.SaveAlarms());
        EXPECT_EQ(Image(), ReadBytes(File));
        EXPECT_TRUE(NoTemporary());
    }
    void ExpectRefused(const std::vector<unsigned char>& old) {
        const size_t shown = Messages.Log.size();
        EXPECT_FALSE(Table.SaveAlarms());
        EXPECT_EQ(old, ReadBytes(File)) << "the old file is intact";
        ASSERT_EQ(shown + 1, Messages.Log.size());
        EXPECT_EQ("File Write Error", Messages.Log.back());
        EXPECT_TRUE(NoTemporary()) << "the temporary file is removed";
    }
};

// Each system call of a save fails in turn, with ENOSPC and with EIO: the open
// of the temporary file, each of its writes (kept short, so that there are
// several), the sync, the close, the rename, then the directory sync.
TEST_F(FileFaults, EachCallOfASaveFailingInTurnKeepsTheOldFile) {
    Fill(0);
    ExpectSaved();
    Files.WriteLimit = Image().size() / 3 + 1;
    Files.Trace.clear();
    ExpectSaved();
    // The save reads the file first, then writes from its second open on.
    const std::vector<FaultyFileOps::TCall> trace = Files.Trace;
    const auto read = std::find(trace.begin(), trace.end(), FaultyFileOps::OpenCall);
    const auto first = std::find(read + 1, trace.end(), FaultyFileOps::OpenCall);
    EXPECT_EQ(3, std::count(trace.begin(), trace.end(), FaultyFileOps::WriteCall));
    const auto rename = std::find(trace.begin(), trace.end(), FaultyFileOps::RenameCall);
    ASSERT_NE(trace.end(), rename + 1) << "the directory is synced after the rename";
    EXPECT_EQ(
        (std::vector<FaultyFileOps::TCall>{FaultyFileOps::FsyncCall, FaultyFileOps::CloseCall}),
        std::vector<FaultyFileOps::TCall>(rename - 2, rename))
        << "the new file is on the disk and closed before it replaces the old one";

    for (int error : {ENOSPC, EIO}) {
        for (size_t at = first - trace.begin(); at < trace.size(); ++at) {
            const auto call = trace[at];
            const int nth = static_cast<int>(std::count(trace.begin(), trace.begin() + at, call));
            SCOPED_TRACE("call " + std::to_string(at) + (error == EIO ? " EIO" : " ENOSPC"));
            Fill(1);
            ExpectSaved();
            const auto old = ReadBytes(File);
            Fill(2);
            Files.FailNext(call, error);
            Files.FailAt += nth;
            if (trace.begin() + static_cast<long>(at) <= rename)
                ExpectRefused(old);
            else
                ExpectSaved(); // in place once renamed; the directory sync only makes it lasting
            Files.FailAt = -1;
            ExpectSaved();
        }
    }
}

// Something that is not a reminder file stands under its name, or cannot be
// read: it is refused unread, neither waited on nor read without end.
TEST_F(FileFaults, OddOrUnreadableFileIsRefusedUnreadAndKept) {
    const struct {
        const char* Name;
        std::function<void(const std::string&)> Make;
    } odds[] = {
        {"named pipe", [](const std::string& p) { ASSERT_EQ(0, ::mkfifo(p.c_str(), 0644)); }},
        {"link to an endless device",
         [](const std::string& p) { fs::create_symlink("/dev/zero", p); }},
        {"huge file",
         [](const std::string& p) {
             WriteBytes(p, {'x'});
             ASSERT_EQ(0, ::truncate(p.c_str(), static_cast<off_t>(MaxReadSize) + 1));
         }},
    };
    for (const auto& odd : odds) {
        SCOPED_TRACE(odd.Name);
        fs::remove_all(File);
        odd.Make(File);
        Messages.Log.clear();
        Files.Counts[FaultyFileOps::ReadCall] = 0;
        EXPECT_EQ(TLoadResult::OpenFailed, Table.LoadAlarms());
        EXPECT_EQ(std::vector<std::string>{"File Access Error"}, Messages.Log);
        EXPECT_EQ(0, Files.Counts[FaultyFileOps::ReadCall]) << "refused unread";
        EXPECT_TRUE(fs::exists(fs::symlink_status(File)));
    }
}

// In a folder only this user can write, a link stays a link to the new image
// (in one others can write, see Cli.SharedFolderIsNotTurnedAgainstItsUser).
TEST_F(FileFaults, LinksAreFollowedWhereNoOneElseWrites) {
    fs::create_directory(Dir.Path("real"));
    fs::create_symlink("real/data", File);
    Fill(0);
    ExpectSaved();
    EXPECT_TRUE(fs::is_symlink(File));
    EXPECT_EQ(Image(), ReadBytes(Dir.Path("real/data")));
}

} // namespace
} // namespace vobrik

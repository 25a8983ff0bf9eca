#include "core/AlarmTable.h"

#include "Fakes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace vobrik {
namespace {

using namespace vobrik::test;

std::vector<unsigned char> ImageOf(int32_t when, const char* message, uint8_t type = atOnce,
                                   int32_t everyDays = 0, int32_t id = 0) {
    TAlarm alarm;
    alarm.When = when;
    SetAlarmMessage(alarm, message);
    alarm.Type = type;
    alarm.EveryDays = everyDays;
    alarm.Id = id;
    unsigned char image[AlarmRecordSize];
    EncodeAlarm(alarm, image);
    return {image, image + AlarmRecordSize};
}

std::vector<unsigned char> Concat(std::initializer_list<std::vector<unsigned char>> parts) {
    std::vector<unsigned char> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

class AlarmTableTest : public ::testing::Test {
  protected:
    ScopedTz Zone{"Europe/Paris"};
    TempDir Dir;
    FakeList List;
    FakeMessages Messages;
    FakeClock Clock;
    FakeEditor Editor;
    std::string File = Dir.Path("ALARMS.VBK");
    TAlarmTable Table{List, Messages, Clock, SystemFileOps(), File};

    std::vector<int32_t> Ids() const {
        std::vector<int32_t> ids;
        for (int i = 0; i < Table.AlarmCount; ++i)
            ids.push_back(Table.Alarms[i]->Id);
        return ids;
    }
};

TEST_F(AlarmTableTest, MissingFileLeavesTableEmpty) {
    EXPECT_EQ(TLoadResult::NoFile, Table.LoadAlarms());
    EXPECT_EQ(0, Table.AlarmCount);
    EXPECT_TRUE(Messages.Log.empty());
}

TEST_F(AlarmTableTest, IncompleteTailIsDroppedAndIdsRunInFileOrder) {
    auto bytes = Concat({ImageOf(300, "c", atOnce, 0, 77), ImageOf(100, "a", atOnce, 0, 77),
                         ImageOf(200, "b", atOnce, 0, 77)});
    bytes.insert(bytes.end(), 100, 0x55);
    WriteBytes(File, bytes);

    ASSERT_EQ(TLoadResult::Loaded, Table.LoadAlarms());
    ASSERT_EQ(3, Table.AlarmCount);
    // Sorted after loading; the Ids were given in file order, not the stored 77.
    EXPECT_EQ((std::vector<int32_t>{2, 3, 1}), Ids());
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), List.Texts());
    EXPECT_EQ(4, Table.NextId);

    ASSERT_TRUE(Table.SaveAlarms());
    EXPECT_EQ(3u * AlarmRecordSize, ReadBytes(File).size());
}

TEST_F(AlarmTableTest, EmptyFileLoadsNothingAndClearsTheList) {
    WriteBytes(File, {});
    List.Lines = {{"stale", 9}};
    EXPECT_EQ(TLoadResult::Loaded, Table.LoadAlarms());
    EXPECT_EQ(0, Table.AlarmCount);
    EXPECT_TRUE(List.Lines.empty());
}

TEST_F(AlarmTableTest, UnknownTypeAndOddIntervalAreKeptUnchanged) {
    const auto bytes = ImageOf(100, "odd", 7, -5);
    WriteBytes(File, bytes);
    ASSERT_EQ(TLoadResult::Loaded, Table.LoadAlarms());
    EXPECT_EQ(7, Table.Alarms[0]->Type);
    EXPECT_EQ(-5, Table.Alarms[0]->EveryDays);
    ASSERT_TRUE(Table.SaveAlarms());
    auto expected = ImageOf(100, "odd", 7, -5, 1);
    EXPECT_EQ(expected, ReadBytes(File));
}

TEST_F(AlarmTableTest, SortKeepsFileOrderOfEqualTimes) {
    WriteBytes(File, Concat({ImageOf(50, "late"), ImageOf(10, "first"), ImageOf(10, "second"),
                             ImageOf(10, "third"), ImageOf(5, "early")}));
    ASSERT_EQ(TLoadResult::Loaded, Table.LoadAlarms());
    EXPECT_EQ((std::vector<std::string>{"early", "first", "second", "third", "late"}),
              List.Texts());
}

TEST_F(AlarmTableTest, RefreshTurnsRedrawOffWhileRefilling) {
    WriteBytes(File, ImageOf(10, "x"));
    List.Selected = 0;
    ASSERT_EQ(TLoadResult::Loaded, Table.LoadAlarms());
    EXPECT_EQ((std::vector<std::string>{"redraw off", "clear", "redraw on", "invalidate"}),
              List.Calls);
    EXPECT_EQ(-1, List.Selected);
    EXPECT_EQ(1, List.Lines[0].second);
}

TEST_F(AlarmTableTest, UnreadableFileIsReportedAndNeverOverwritten) {
    const auto bytes = Concat({ImageOf(10, "keep me"), ImageOf(20, "and me")});
    WriteBytes(File, bytes);
    FaultyFileOps faulty;
    faulty.FailCall = FaultyFileOps::ReadCall;
    faulty.FailAt = 0;
    TAlarmTable table(List, Messages, Clock, faulty, File);

    EXPECT_EQ(TLoadResult::OpenFailed, table.LoadAlarms());
    ASSERT_EQ(1u, Messages.Log.size());
    EXPECT_EQ("File Access Error", Messages.Log[0].Text);
    EXPECT_EQ("Error", Messages.Log[0].Caption);
    EXPECT_EQ(0, table.AlarmCount);

    // A later change must not replace the file it could not read.
    Editor.Edit = [](int) { return true; };
    table.AddAlarm(Editor);
    EXPECT_FALSE(table.SaveAlarms());
    EXPECT_EQ("File Write Error", Messages.Log.back().Text);
    EXPECT_EQ(bytes, ReadBytes(File));
}

// Something that is not a reminder file stands under the file's name. Loading
// must neither wait nor read without end; it is refused as unreadable, and no
// later save may replace it.
class OddFileTest : public AlarmTableTest {
  protected:
    void ExpectRefusedAndKept() {
        EXPECT_EQ(TLoadResult::OpenFailed, Table.LoadAlarms());
        ASSERT_EQ(1u, Messages.Log.size());
        EXPECT_EQ("File Access Error", Messages.Log[0].Text);
        EXPECT_EQ(0, Table.AlarmCount);
        struct stat before {};
        ASSERT_EQ(0, ::lstat(File.c_str(), &before));

        Table.Append(TAlarm{});
        EXPECT_FALSE(Table.SaveAlarms());
        EXPECT_EQ("File Write Error", Messages.Log.back().Text);
        struct stat after {};
        ASSERT_EQ(0, ::lstat(File.c_str(), &after));
        EXPECT_EQ(before.st_ino, after.st_ino);
        EXPECT_EQ(before.st_mode, after.st_mode);
        EXPECT_EQ(before.st_size, after.st_size);
    }
};

TEST_F(OddFileTest, NamedPipeIsRefusedWithoutWaitingForAWriter) {
    ASSERT_EQ(0, ::mkfifo(File.c_str(), 0644));
    ExpectRefusedAndKept();
}

TEST_F(OddFileTest, DirectoryIsRefused) {
    std::filesystem::create_directory(File);
    ExpectRefusedAndKept();
}

TEST_F(OddFileTest, LinkToAnEndlessDeviceIsRefusedUnread) {
    std::filesystem::create_symlink("/dev/zero", File);
    ExpectRefusedAndKept();
}

TEST_F(OddFileTest, HugeFileIsRefusedUnread) {
    // Sparse, so it costs no disk space.
    WriteBytes(File, {});
    ASSERT_EQ(0, ::truncate(File.c_str(), static_cast<off_t>(MaxReadSize) + 1));
    ExpectRefusedAndKept();
}

TEST_F(OddFileTest, FileItsUserMayNotReadIsRefused) {
    WriteBytes(File, ImageOf(10, "secret"));
    ASSERT_EQ(0, ::chmod(File.c_str(), 0));
    ScopedFilePermissions asAUser;
    if (!asAUser.Enforced())
        GTEST_SKIP() << "root's right to ignore file permissions cannot be dropped here";
    ExpectRefusedAndKept();
}

TEST_F(AlarmTableTest, LinkToAFileNotYetThereLoadsNothingAndTheFirstSaveCreatesTheTarget) {
    std::filesystem::create_symlink("elsewhere.vbk", File);
    EXPECT_EQ(TLoadResult::NoFile, Table.LoadAlarms());
    Table.Append(TAlarm{});
    ASSERT_TRUE(Table.SaveAlarms());
    EXPECT_TRUE(std::filesystem::is_symlink(File));
    EXPECT_EQ(AlarmRecordSize, ReadBytes(Dir.Path("elsewhere.vbk")).size());
}

TEST_F(AlarmTableTest, LinkIntoAMissingDirectoryIsReportedAtEverySave) {
    std::filesystem::create_symlink("missing/ALARMS.VBK", File);
    EXPECT_EQ(TLoadResult::NoFile, Table.LoadAlarms());
    Table.Append(TAlarm{});
    EXPECT_FALSE(Table.SaveAlarms());
    EXPECT_FALSE(Table.SaveAlarms());
    ASSERT_EQ(2u, Messages.Log.size());
    EXPECT_EQ("File Write Error", Messages.Log[1].Text);
    EXPECT_EQ(1, Table.AlarmCount);

    std::filesystem::create_directory(Dir.Path("missing"));
    EXPECT_TRUE(Table.SaveAlarms());
    EXPECT_TRUE(std::filesystem::is_symlink(File));
}

TEST_F(AlarmTableTest, FileOfExactlyTheReadLimitIsLoaded) {
    WriteBytes(File, ImageOf(10, "first"));
    ASSERT_EQ(0, ::truncate(File.c_str(), static_cast<off_t>(MaxReadSize)));
    ASSERT_EQ(TLoadResult::Loaded, Table.LoadAlarms());
    EXPECT_EQ(TAlarmTable::MaxAlarms, Table.AlarmCount);
    EXPECT_EQ("first", List.Texts().back()) << "zero records sort first";
}

TEST_F(AlarmTableTest, CancelledAddChangesNothingButUsesItsId) {
    WriteBytes(File, Concat({ImageOf(10, "a"), ImageOf(20, "b")}));
    ASSERT_EQ(TLoadResult::Loaded, Table.LoadAlarms());
    const auto before = ReadBytes(File);
    const auto linesBefore = List.Lines;

    Clock.Time = 1000;
    Editor.Edit = [&](int slot) {
        EXPECT_EQ(2, slot);
        EXPECT_EQ(3, Table.Alarms[slot]->Id);
        EXPECT_EQ(1000, Table.Alarms[slot]->When);
        EXPECT_EQ(atOnce, Table.Alarms[slot]->Type);
        EXPECT_STREQ("", Table.Alarms[slot]->Message);
        return false;
    };
    Table.AddAlarm(Editor);
    EXPECT_EQ(2, Table.AlarmCount);
    EXPECT_EQ(before, ReadBytes(File));
    EXPECT_EQ(linesBefore, List.Lines);

    Editor.Edit = [&](int slot) {
        EXPECT_EQ(4, Table.Alarms[slot]->Id);
        SetAlarmMessage(*Table.Alarms[slot], "new");
        Table.SaveAlarms();
        Table.RefreshAlarmList();
        return true;
    };
    Table.AddAlarm(Editor);
    EXPECT_EQ(3, Table.AlarmCount);
    EXPECT_EQ(3u * AlarmRecordSize, ReadBytes(File).size());
}

TEST_F(AlarmTableTest, ModifyEditsTheSelectedRecordOnly) {
    WriteBytes(File, Concat({ImageOf(10, "a"), ImageOf(20, "b")}));
    ASSERT_EQ(TLoadResult::Loaded, Table.LoadAlarms());

    Table.ModifySelectedAlarm(Editor);
    EXPECT_TRUE(Editor.Slots.empty()) << "no selection opens no editor";

    List.Selected = 1;
    Table.ModifySelectedAlarm(Editor);
    EXPECT_EQ(std::vector<int>{1}, Editor.Slots);
}

TEST_F(AlarmTableTest, DeleteWithoutSelectionRewritesTheFile) {
    WriteBytes(File, Concat({ImageOf(10, "a"), ImageOf(20, "b")}));
    ASSERT_EQ(TLoadResult::Loaded, Table.LoadAlarms());
    const auto saved = Concat({ImageOf(10, "a", atOnce, 0, 1), ImageOf(20, "b", atOnce, 0, 2)});
    WriteBytes(File, {1, 2, 3});

    Table.DeleteSelectedAlarm();
    EXPECT_EQ(2, Table.AlarmCount);
    EXPECT_EQ(saved, ReadBytes(File));
}

TEST_F(AlarmTableTest, DeleteKeepsTheOrderOfTheOthers) {
    WriteBytes(File, Concat({ImageOf(10, "a"), ImageOf(20, "b"), ImageOf(30, "c")}));
    ASSERT_EQ(TLoadResult::Loaded, Table.LoadAlarms());
    List.Selected = 1;
    Table.DeleteSelectedAlarm();
    EXPECT_EQ((std::vector<std::string>{"a", "c"}), List.Texts());
    EXPECT_EQ(Concat({ImageOf(10, "a", atOnce, 0, 1), ImageOf(30, "c", atOnce, 0, 3)}),
              ReadBytes(File));
}

TEST_F(AlarmTableTest, DeletingTheOnlyRecordLeavesAnEmptyFile) {
    WriteBytes(File, ImageOf(10, "only"));
    ASSERT_EQ(TLoadResult::Loaded, Table.LoadAlarms());
    List.Selected = 0;
    Table.DeleteSelectedAlarm();
    EXPECT_EQ(0, Table.AlarmCount);
    ASSERT_TRUE(std::filesystem::exists(File));
    EXPECT_EQ(0u, std::filesystem::file_size(File));
}

TEST_F(AlarmTableTest, AddIsRefusedWhenTheTableIsFull) {
    for (int i = 0; i < TAlarmTable::MaxAlarms; ++i)
        ASSERT_NE(nullptr, Table.Append(TAlarm{}));
    EXPECT_EQ(nullptr, Table.Append(TAlarm{}));

    Table.AddAlarm(Editor);
    EXPECT_TRUE(Editor.Slots.empty());
    EXPECT_EQ(TAlarmTable::MaxAlarms, Table.AlarmCount);
    ASSERT_EQ(1u, Messages.Log.size());
    EXPECT_NE(std::string::npos, Messages.Log[0].Text.find("100"));
}

TEST_F(AlarmTableTest, RecordsBeyondCapacityAreKeptInTheFile) {
    std::vector<unsigned char> bytes;
    for (int i = 0; i < 103; ++i) {
        const auto image = ImageOf(i, ("n" + std::to_string(i)).c_str());
        bytes.insert(bytes.end(), image.begin(), image.end());
    }
    WriteBytes(File, bytes);
    ASSERT_EQ(TLoadResult::Loaded, Table.LoadAlarms());
    EXPECT_EQ(TAlarmTable::MaxAlarms, Table.AlarmCount);
    ASSERT_EQ(1u, Messages.Log.size()) << "the user is told";

    ASSERT_TRUE(Table.SaveAlarms());
    const auto saved = ReadBytes(File);
    ASSERT_EQ(103u * AlarmRecordSize, saved.size());
    // The three that did not fit come back unchanged after the table.
    EXPECT_TRUE(std::equal(bytes.end() - 3 * AlarmRecordSize, bytes.end(),
                           saved.end() - 3 * AlarmRecordSize));
}

} // namespace
} // namespace vobrik

#include "core/AlarmTable.h"

#include "Fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

namespace vobrik {
namespace {

using namespace vobrik::test;

struct Record {
    int32_t When;
    const char* Message;
    uint8_t Type = atOnce;
    int32_t EveryDays = 0;
    int32_t Id = 0;
};

// The file images of the records, one after another.
std::vector<unsigned char> Images(std::initializer_list<Record> records) {
    std::vector<unsigned char> bytes;
    for (const Record& r : records) {
        TAlarm alarm;
        alarm.When = r.When;
        SetAlarmMessage(alarm, r.Message);
        alarm.Type = r.Type;
        alarm.EveryDays = r.EveryDays;
        alarm.Id = r.Id;
        unsigned char image[AlarmRecordSize];
        EncodeAlarm(alarm, image);
        bytes.insert(bytes.end(), image, image + AlarmRecordSize);
    }
    return bytes;
}

class AlarmTable : public ::testing::Test {
  protected:
    TempDir Dir;
    FakeList List;
    FakeMessages Messages;
    FakeClock Clock;
    FakeEditor Editor;
    FaultyFileOps Files; // fails nothing unless told
    std::string File = Dir.Path("ALARMS.VBK");
    TAlarmTable Table{List, Messages, Clock, Files, File};

    void Load(const std::vector<unsigned char>& bytes) {
        WriteBytes(File, bytes);
        ASSERT_EQ(TLoadResult::Loaded, Table.LoadAlarms());
    }
    std::vector<int32_t> Ids() const {
        std::vector<int32_t> ids;
        for (int i = 0; i < Table.AlarmCount; ++i)
            ids.push_back(Table.Alarms[i]->Id);
        return ids;
    }
};

TEST_F(AlarmTable, MissingOrEmptyFileLoadsNothing) {
    EXPECT_EQ(TLoadResult::NoFile, Table.LoadAlarms());
    EXPECT_EQ(0, Table.AlarmCount);
    List.Lines = {{"stale", 9}};
    Load({});
    EXPECT_EQ(0, Table.AlarmCount);
    EXPECT_TRUE(List.Lines.empty());
    EXPECT_TRUE(Messages.Log.empty());
}

TEST_F(AlarmTable, IncompleteTailIsDroppedAndIdsRunInFileOrder) {
    auto bytes = Images({{300, "c", atOnce, 0, 77}, {100, "a", atOnce, 0, 77}, {200, "b"}});
    bytes.insert(bytes.end(), 100, 0x55);
    Load(bytes);
    // Sorted after loading; the Ids were given in file order, not the stored 77.
    EXPECT_EQ((std::vector<int32_t>{2, 3, 1}), Ids());
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), List.Texts());
    EXPECT_EQ(4, Table.NextId);

    ASSERT_TRUE(Table.SaveAlarms());
    EXPECT_EQ(3u * AlarmRecordSize, ReadBytes(File).size());
}

TEST_F(AlarmTable, UnknownTypeAndOddIntervalAreKeptUnchanged) {
    Load(Images({{100, "odd", 7, -5}}));
    ASSERT_TRUE(Table.SaveAlarms());
    EXPECT_EQ(Images({{100, "odd", 7, -5, 1}}), ReadBytes(File));
}

TEST_F(AlarmTable, RefillSortsStablyAndRedrawsOnce) {
    List.Selected = 0;
    Load(Images({{50, "late"}, {10, "first"}, {10, "second"}, {10, "third"}, {5, "early"}}));
    EXPECT_EQ((std::vector<std::string>{"early", "first", "second", "third", "late"}),
              List.Texts());
    EXPECT_EQ((std::vector<std::string>{"redraw off", "clear", "redraw on", "invalidate"}),
              List.Calls);
    EXPECT_EQ(-1, List.Selected);
    EXPECT_EQ(5, List.Lines[0].second) << "each line carries its record's Id";
}

TEST_F(AlarmTable, UnreadableFileIsReportedAndNeverOverwritten) {
    const auto bytes = Images({{10, "keep me"}, {20, "and me"}});
    WriteBytes(File, bytes);
    Files.FailCall = FaultyFileOps::ReadCall;
    Files.FailAt = 0;
    EXPECT_EQ(TLoadResult::OpenFailed, Table.LoadAlarms());
    EXPECT_EQ(0, Table.AlarmCount);

    // No later change may replace the file it could not read.
    Editor.Edit = [](int) { return true; };
    Table.AddAlarm(Editor);
    EXPECT_FALSE(Table.SaveAlarms());
    ASSERT_EQ(2u, Messages.Log.size());
    EXPECT_EQ("File Access Error", Messages.Log[0].Text);
    EXPECT_EQ("File Write Error", Messages.Log[1].Text);
    EXPECT_EQ("Error", Messages.Log[1].Caption);
    EXPECT_EQ(bytes, ReadBytes(File));
}

TEST_F(AlarmTable, FileOfExactlyTheReadLimitIsLoaded) {
    WriteBytes(File, Images({{10, "first"}}));
    ASSERT_EQ(0, ::truncate(File.c_str(), static_cast<off_t>(MaxReadSize)));
    ASSERT_EQ(TLoadResult::Loaded, Table.LoadAlarms());
    EXPECT_EQ(TAlarmTable::MaxAlarms, Table.AlarmCount);
    EXPECT_EQ("first", List.Texts().back()) << "zero records sort first";
}

TEST_F(AlarmTable, CancelledAddChangesNothingButUsesItsId) {
    Load(Images({{10, "a"}, {20, "b"}}));
    const auto before = ReadBytes(File);
    const auto linesBefore = List.Lines;

    Clock.Time = 1000;
    Editor.Edit = [&](int slot) {
        EXPECT_EQ(2, slot);
        const TAlarm& fresh = *Table.Alarms[slot];
        EXPECT_EQ(3, fresh.Id);
        EXPECT_EQ(1000, fresh.When);
        EXPECT_EQ(atOnce, fresh.Type);
        EXPECT_STREQ("", fresh.Message);
        return false;
    };
    Table.AddAlarm(Editor);
    EXPECT_EQ(2, Table.AlarmCount);
    EXPECT_EQ(before, ReadBytes(File));
    EXPECT_EQ(linesBefore, List.Lines);

    Editor.Edit = [&](int slot) {
        EXPECT_EQ(4, Table.Alarms[slot]->Id);
        Table.SaveAlarms();
        Table.RefreshAlarmList();
        return true;
    };
    Table.AddAlarm(Editor);
    EXPECT_EQ(3, Table.AlarmCount);
    EXPECT_EQ(3u * AlarmRecordSize, ReadBytes(File).size());
}

TEST_F(AlarmTable, ModifyEditsTheSelectedRecordOnly) {
    Load(Images({{10, "a"}, {20, "b"}}));
    Table.ModifySelectedAlarm(Editor);
    EXPECT_TRUE(Editor.Slots.empty()) << "no selection opens no editor";

    List.Selected = 1;
    Table.ModifySelectedAlarm(Editor);
    EXPECT_EQ(std::vector<int>{1}, Editor.Slots);
}

TEST_F(AlarmTable, DeleteRemovesTheSelectedRecordAndAlwaysRewritesTheFile) {
    Load(Images({{10, "a"}, {20, "b"}, {30, "c"}}));
    WriteBytes(File, {1, 2, 3});
    Table.DeleteSelectedAlarm();
    EXPECT_EQ(Images({{10, "a", atOnce, 0, 1}, {20, "b", atOnce, 0, 2}, {30, "c", atOnce, 0, 3}}),
              ReadBytes(File))
        << "nothing selected, nothing removed, the file written again";

    List.Selected = 1;
    Table.DeleteSelectedAlarm();
    EXPECT_EQ((std::vector<std::string>{"a", "c"}), List.Texts());
    EXPECT_EQ(Images({{10, "a", atOnce, 0, 1}, {30, "c", atOnce, 0, 3}}), ReadBytes(File));

    for (int left = 2; left > 0; --left) {
        List.Selected = 0;
        Table.DeleteSelectedAlarm();
    }
    EXPECT_EQ(0, Table.AlarmCount);
    ASSERT_TRUE(std::filesystem::exists(File));
    EXPECT_EQ(0u, std::filesystem::file_size(File));
}

TEST_F(AlarmTable, FailedSaveAfterADeletionKeepsTheRecordOnDiskUntilTheNextSave) {
    Load(Images({{10, "a"}, {20, "b"}}));
    const auto old = ReadBytes(File);
    List.Selected = 0;
    Files.FailCall = FaultyFileOps::WriteCall;
    Files.FailAt = Files.Counts[FaultyFileOps::WriteCall];
    Table.DeleteSelectedAlarm();
    EXPECT_EQ(1, Table.AlarmCount);
    EXPECT_EQ(old, ReadBytes(File));
    ASSERT_EQ(1u, Messages.Log.size());
    EXPECT_EQ("File Write Error", Messages.Log[0].Text);

    ASSERT_TRUE(Table.SaveAlarms());
    EXPECT_EQ(Images({{20, "b", atOnce, 0, 2}}), ReadBytes(File));
}

TEST_F(AlarmTable, AddIsRefusedWhenTheTableIsFull) {
    for (int i = 0; i < TAlarmTable::MaxAlarms; ++i)
        ASSERT_NE(nullptr, Table.Append(TAlarm{}));
    EXPECT_EQ(nullptr, Table.Append(TAlarm{}));

    Table.AddAlarm(Editor);
    EXPECT_TRUE(Editor.Slots.empty());
    EXPECT_EQ(TAlarmTable::MaxAlarms, Table.AlarmCount);
    ASSERT_EQ(1u, Messages.Log.size());
    EXPECT_NE(std::string::npos, Messages.Log[0].Text.find("100"));
}

TEST_F(AlarmTable, RecordsBeyondCapacityAreKeptInTheFile) {
    std::vector<unsigned char> bytes;
    for (int i = 0; i < 103; ++i) {
        const auto image = Images({{i, ("n" + std::to_string(i)).c_str()}});
        bytes.insert(bytes.end(), image.begin(), image.end());
    }
    Load(bytes);
    EXPECT_EQ(TAlarmTable::MaxAlarms, Table.AlarmCount);
    ASSERT_EQ(1u, Messages.Log.size()) << "the user is told";

    ASSERT_TRUE(Table.SaveAlarms());
    const auto saved = ReadBytes(File);
    ASSERT_EQ(bytes.size(), saved.size());
    // The three that did not fit come back unchanged after the table.
    EXPECT_TRUE(std::equal(bytes.end() - 3 * AlarmRecordSize, bytes.end(),
                           saved.end() - 3 * AlarmRecordSize));
}

} // namespace
} // namespace vobrik

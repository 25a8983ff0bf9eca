#include "core/AlarmTable.h"
#include "core/CheckPass.h"

#include "Fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace vobrik {
namespace {

using namespace vobrik::test;
namespace fs = std::filesystem;

// A table saved once as "the old file" (3 records), then changed to 40 records,
// so that a partly replaced file would show in its size.
struct SaveScenario {
    FakeList List;
    FakeMessages Messages;
    FakeClock Clock;
    std::string File;
    std::string Temporary;
    TAlarmTable Table;

    explicit SaveScenario(const std::string& file, IFileOps& files = SystemFileOps())
        : File(file), Temporary(file + ".tmp"), Table(List, Messages, Clock, files, file) {}

    void Fill(int count, const char* text) {
        while (Table.AlarmCount > 0)
            Table.RemoveByMovingLast(Table.AlarmCount - 1);
        for (int i = 0; i < count; ++i) {
            TAlarm alarm;
            alarm.When = 1000 + i;
            alarm.Type = static_cast<uint8_t>(i % 4 + 1);
            alarm.EveryDays = i;
            SetAlarmMessage(alarm, (text + std::to_string(i)).c_str());
            Table.Append(alarm);
        }
    }

    // What a complete save of the table writes.
    std::vector<unsigned char> TableImage() const {
        std::vector<unsigned char> bytes;
        for (int i = 0; i < Table.AlarmCount; ++i) {
            unsigned char image[AlarmRecordSize];
            EncodeAlarm(*Table.Alarms[i], image);
            bytes.insert(bytes.end(), image, image + AlarmRecordSize);
        }
        return bytes;
    }

    std::vector<unsigned char> SaveOldThenChange() {
        Fill(3, "ancien ");
        EXPECT_TRUE(Table.SaveAlarms());
        auto old = ReadBytes(File);
        EXPECT_EQ(3u * AlarmRecordSize, old.size());
        Fill(40, "nouveau ");
        return old;
    }

    // The save fails, the user is told, and nothing else changes: not the old
    // file, not the table in memory, and no temporary file is left behind.
    void ExpectRefused(const std::vector<unsigned char>& old) {
        const auto before = TableImage();
        const int32_t nextId = Table.NextId;
        const size_t shown = Messages.Log.size();
        EXPECT_FALSE(Table.SaveAlarms());
        EXPECT_EQ(old, ReadBytes(File)) << "the old file is intact";
        ASSERT_EQ(shown + 1, Messages.Log.size());
        EXPECT_EQ("File Write Error", Messages.Log.back().Text);
        EXPECT_EQ("Error", Messages.Log.back().Caption);
        EXPECT_EQ(MB_OK, Messages.Log.back().Type);
        EXPECT_EQ(before, TableImage()) << "the table in memory is unchanged";
        EXPECT_EQ(nextId, Table.NextId);
        EXPECT_FALSE(fs::exists(fs::symlink_status(Temporary))) << "the temporary file is removed";
    }

    void ExpectSaved() {
        const size_t shown = Messages.Log.size();
        EXPECT_TRUE(Table.SaveAlarms());
        EXPECT_EQ(TableImage(), ReadBytes(File));
        EXPECT_EQ(shown, Messages.Log.size());
        EXPECT_FALSE(fs::exists(fs::symlink_status(Temporary)));
    }
};

class SaveAlarmsFaults : public ::testing::TestWithParam<int> {};

// Each system call of a save fails in turn: the open of the temporary file,
// each of its writes (at most 4 KiB each, so that there are several), the sync,
// the close, the rename, then the calls that sync the directory.
TEST_P(SaveAlarmsFaults, EachCallFailingInTurnKeepsTheOldFile) {
    const int error = GetParam();

    std::vector<FaultyFileOps::TCall> trace;
    {
        TempDir dir;
        FaultyFileOps files;
        files.WriteLimit = 4096;
        SaveScenario scenario(dir.Path("ALARMS.VBK"), files);
        scenario.SaveOldThenChange();
        files.Trace.clear();
        scenario.ExpectSaved();
        trace = files.Trace;
    }
    ASSERT_EQ(3, std::count(trace.begin(), trace.end(), FaultyFileOps::WriteCall))
        << "40 records in writes of at most 4 KiB";
    const auto rename = std::find(trace.begin(), trace.end(), FaultyFileOps::RenameCall);
    ASSERT_NE(trace.end(), rename);
    ASSERT_LT(rename - trace.begin() + 1, static_cast<long>(trace.size()))
        << "the directory is synced after the rename";

    for (size_t at = 0; at < trace.size(); ++at) {
        const FaultyFileOps::TCall call = trace[at];
        const int nth = static_cast<int>(std::count(trace.begin(), trace.begin() + at, call));
        SCOPED_TRACE(std::string(CallName(call)) + " #" + std::to_string(nth));

        TempDir dir;
        FaultyFileOps files;
        files.WriteLimit = 4096;
        SaveScenario scenario(dir.Path("ALARMS.VBK"), files);
        const auto old = scenario.SaveOldThenChange();
        files = FaultyFileOps();
        files.WriteLimit = 4096;
        files.FailCall = call;
        files.FailAt = nth;
        files.FailErrno = error;
        if (trace.begin() + static_cast<long>(at) <= rename) {
            scenario.ExpectRefused(old);
        } else {
            // The new file is complete and in place once renamed; the directory
            // sync only makes that lasting, and is done as well as it can be.
            scenario.ExpectSaved();
        }

        files.FailAt = -1;
        scenario.Fill(41, "plus tard ");
        scenario.ExpectSaved();
    }
}

INSTANTIATE_TEST_SUITE_P(Errors, SaveAlarmsFaults, ::testing::Values(ENOSPC, EIO),
                         [](const ::testing::TestParamInfo<int>& param) {
                             return std::string(param.param == ENOSPC ? "ENOSPC" : "EIO");
                         });

// A save whose write fails and whose clean-up fails too.
class CleanupFailingFileOps : public FaultyFileOps {
  public:
    bool UnlinkFails = false;
    int Unlink(const char* path) override {
        if (UnlinkFails) {
            errno = EIO;
            return -1;
        }
        return FaultyFileOps::Unlink(path);
    }
};

TEST(SaveAlarms, TemporaryFileLeftByAFailedCleanupIsReplacedByTheNextSave) {
    TempDir dir;
    CleanupFailingFileOps files;
    SaveScenario scenario(dir.Path("ALARMS.VBK"), files);
    const auto old = scenario.SaveOldThenChange();

    files.FailCall = FaultyFileOps::WriteCall;
    files.FailAt = files.Counts[FaultyFileOps::WriteCall];
    files.UnlinkFails = true;
    EXPECT_FALSE(scenario.Table.SaveAlarms());
    EXPECT_EQ(old, ReadBytes(scenario.File));
    EXPECT_TRUE(fs::exists(scenario.Temporary)) << "the clean-up really failed";

    files.FailAt = -1;
    files.UnlinkFails = false;
    scenario.ExpectSaved();
}

TEST(SaveAlarms, RealFullDiskKeepsTheOldFile) {
    TempDir dir;
    fs::create_directory(dir.Path("disk"));
    ScopedMount disk = ScopedMount::Tmpfs(dir.Path("disk"), "size=64k,mode=0755");
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Failure() << "; the full-disk case is not exercised";

    SaveScenario scenario(dir.Path("disk/ALARMS.VBK"));
    const auto old = scenario.SaveOldThenChange();
    // Fill what is left of the disk.
    {
        const std::vector<unsigned char> block(4096, 0xAA);
        FILE* filler = std::fopen(dir.Path("disk/filler").c_str(), "wb");
        ASSERT_NE(nullptr, filler);
        while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
               std::fflush(filler) == 0) {
        }
        std::fclose(filler);
    }
    scenario.ExpectRefused(old);

    fs::remove(dir.Path("disk/filler"));
    scenario.ExpectSaved();
}

TEST(SaveAlarms, DiskWithoutAFreeFileEntryKeepsTheOldFile) {
    TempDir dir;
    fs::create_directory(dir.Path("disk"));
    ScopedMount disk = ScopedMount::Tmpfs(dir.Path("disk"), "size=1m,nr_inodes=8,mode=0755");
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Failure() << "; the case of no free file entry is not exercised";

    SaveScenario scenario(dir.Path("disk/ALARMS.VBK"));
    const auto old = scenario.SaveOldThenChange();
    int fillers = 0;
    for (;; ++fillers) {
        FILE* filler = std::fopen(dir.Path("disk/f" + std::to_string(fillers)).c_str(), "wb");
        if (filler == nullptr)
            break;
        std::fclose(filler);
    }
    scenario.ExpectRefused(old);

    fs::remove(dir.Path("disk/f0"));
    scenario.ExpectSaved();
}

TEST(SaveAlarms, ReadOnlyDirectoryKeepsTheOldFile) {
    TempDir dir;
    fs::create_directory(dir.Path("ro"));
    SaveScenario scenario(dir.Path("ro/ALARMS.VBK"));
    const auto old = scenario.SaveOldThenChange();

    ASSERT_EQ(0, ::chmod(dir.Path("ro").c_str(), 0555));
    {
        ScopedFilePermissions asAUser;
        if (!asAUser.Enforced())
            GTEST_SKIP() << "root's right to ignore file permissions cannot be dropped here";
        scenario.ExpectRefused(old);

        ASSERT_EQ(0, ::chmod(dir.Path("ro").c_str(), 0755));
        scenario.ExpectSaved();
    }
}

TEST(SaveAlarms, ReadOnlyMountKeepsTheOldFile) {
    TempDir dir;
    fs::create_directory(dir.Path("ro"));
    SaveScenario scenario(dir.Path("ro/ALARMS.VBK"));
    const auto old = scenario.SaveOldThenChange();

    ScopedMount readOnly = ScopedMount::ReadOnlyBind(dir.Path("ro"));
    if (!readOnly.Mounted())
        GTEST_SKIP() << readOnly.Failure() << "; the read-only mount case is not exercised";
    scenario.ExpectRefused(old);

    ASSERT_TRUE(readOnly.Unmount());
    scenario.ExpectSaved();
}

TEST(SaveAlarms, ReadOnlyFileIsLeftAlone) {
    TempDir dir;
    SaveScenario scenario(dir.Path("ALARMS.VBK"));
    const auto old = scenario.SaveOldThenChange();
    ASSERT_EQ(0, ::chmod(scenario.File.c_str(), 0444));

    scenario.ExpectRefused(old);
    EXPECT_EQ(fs::perms(0444), fs::status(scenario.File).permissions());

    ASSERT_EQ(0, ::chmod(scenario.File.c_str(), 0644));
    scenario.ExpectSaved();
}

TEST(SaveAlarms, SymbolicLinkStaysALinkToTheNewImage) {
    TempDir dir;
    fs::create_directory(dir.Path("real"));
    WriteBytes(dir.Path("real/data.vbk"), {});
    fs::create_symlink("real/data.vbk", dir.Path("ALARMS.VBK"));

    SaveScenario scenario(dir.Path("ALARMS.VBK"));
    scenario.Temporary = dir.Path("real/data.vbk.tmp");
    scenario.Fill(2, "x");
    scenario.ExpectSaved();
    EXPECT_TRUE(fs::is_symlink(dir.Path("ALARMS.VBK")));
    EXPECT_EQ(2u * AlarmRecordSize, ReadBytes(dir.Path("real/data.vbk")).size());
}

TEST(SaveAlarms, FailedSaveThroughALinkKeepsTheLinkAndItsTarget) {
    TempDir dir;
    fs::create_directory(dir.Path("real"));
    fs::create_symlink("real/data.vbk", dir.Path("ALARMS.VBK"));
    FaultyFileOps files;
    SaveScenario scenario(dir.Path("ALARMS.VBK"), files);
    scenario.Temporary = dir.Path("real/data.vbk.tmp");
    const auto old = scenario.SaveOldThenChange();

    files.FailCall = FaultyFileOps::FsyncCall;
    files.FailAt = files.Counts[FaultyFileOps::FsyncCall];
    files.FailErrno = EIO;
    scenario.ExpectRefused(old);
    EXPECT_TRUE(fs::is_symlink(dir.Path("ALARMS.VBK")));

    files.FailAt = -1;
    scenario.ExpectSaved();
    EXPECT_TRUE(fs::is_symlink(dir.Path("ALARMS.VBK")));
}

TEST(SaveAlarms, NewFileIsCreatedWithTheUsualPermissions) {
    TempDir dir;
    SaveScenario scenario(dir.Path("ALARMS.VBK"));
    const mode_t old = ::umask(022);
    ASSERT_TRUE(scenario.Table.SaveAlarms());
    ::umask(old);
    EXPECT_EQ(fs::perms(0644), fs::status(scenario.File).permissions());
}

// Whatever stands under the temporary name is removed, never written through
// and never waited on.
TEST(SaveAlarms, LeftoverTemporaryFileIsReplaced) {
    TempDir dir;
    SaveScenario scenario(dir.Path("ALARMS.VBK"));
    WriteBytes(scenario.Temporary, std::vector<unsigned char>(5000, 0x77));
    scenario.Fill(2, "x");
    scenario.ExpectSaved();
}

TEST(SaveAlarms, LinkUnderTheTemporaryNameIsNotWrittenThrough) {
    TempDir dir;
    const std::vector<unsigned char> precious = {'k', 'e', 'e', 'p'};
    WriteBytes(dir.Path("precious.txt"), precious);
    SaveScenario scenario(dir.Path("ALARMS.VBK"));
    fs::create_symlink("precious.txt", scenario.Temporary);

    scenario.Fill(2, "x");
    scenario.ExpectSaved();
    EXPECT_EQ(precious, ReadBytes(dir.Path("precious.txt")));
}

TEST(SaveAlarms, NamedPipeUnderTheTemporaryNameDoesNotBlockTheSave) {
    TempDir dir;
    SaveScenario scenario(dir.Path("ALARMS.VBK"));
    ASSERT_EQ(0, ::mkfifo(scenario.Temporary.c_str(), 0644));
    scenario.Fill(2, "x");
    scenario.ExpectSaved();
}

TEST(SaveAlarms, DirectoryUnderTheTemporaryNameIsReportedUntilItIsGone) {
    TempDir dir;
    SaveScenario scenario(dir.Path("ALARMS.VBK"));
    const auto old = scenario.SaveOldThenChange();
    fs::create_directory(scenario.Temporary);

    const auto before = scenario.TableImage();
    EXPECT_FALSE(scenario.Table.SaveAlarms());
    EXPECT_EQ(old, ReadBytes(scenario.File));
    ASSERT_EQ(1u, scenario.Messages.Log.size());
    EXPECT_EQ("File Write Error", scenario.Messages.Log[0].Text);
    EXPECT_EQ(before, scenario.TableImage());

    fs::remove(scenario.Temporary);
    scenario.ExpectSaved();
}

// The saves the program makes on its own: at the end of a check pass, and
// after a deletion. A failure there keeps the change in memory, and the next
// save writes it.
TEST(SaveAlarms, FailedSaveAfterACheckPassKeepsThePassInMemoryUntilTheNextSave) {
    ScopedTz zone("Europe/Paris");
    TempDir dir;
    FaultyFileOps files;
    SaveScenario scenario(dir.Path("ALARMS.VBK"), files);
    TAlarm due;
    due.When = Local(2026, 3, 2, 9, 0);
    SetAlarmMessage(due, "due");
    scenario.Table.Append(due);
    TAlarm later = due;
    later.When = Local(2026, 3, 9, 9, 0);
    SetAlarmMessage(later, "later");
    scenario.Table.Append(later);
    ASSERT_TRUE(scenario.Table.SaveAlarms());
    const auto old = ReadBytes(scenario.File);

    FakeTimer timer;
    FakeSound sound;
    ScriptedRinger ringer;
    ringer.Script.push_back({RingAcknowledge});
    TAlarmChecker checker(scenario.Table, timer, sound, ringer);
    scenario.Clock.Time = Local(2026, 3, 2, 9, 30);
    files.FailCall = FaultyFileOps::RenameCall;
    files.FailAt = files.Counts[FaultyFileOps::RenameCall];
    files.FailErrno = ENOSPC;
    checker.OnCheckTimer(false);

    EXPECT_EQ(old, ReadBytes(scenario.File));
    ASSERT_EQ(1u, scenario.Messages.Log.size());
    EXPECT_EQ("File Write Error", scenario.Messages.Log[0].Text);
    ASSERT_EQ(1, scenario.Table.AlarmCount);
    EXPECT_STREQ("later", scenario.Table.Alarms[0]->Message);
    EXPECT_EQ("set 1 30000", timer.Calls.back()) << "the program keeps checking";

    files.FailAt = -1;
    scenario.ExpectSaved();
}

TEST(SaveAlarms, FailedSaveAfterADeletionKeepsTheRecordOnDiskUntilTheNextSave) {
    TempDir dir;
    FaultyFileOps files;
    SaveScenario scenario(dir.Path("ALARMS.VBK"), files);
    const auto old = scenario.SaveOldThenChange();
    scenario.Table.RefreshAlarmList();
    scenario.List.Selected = 0;

    files.FailCall = FaultyFileOps::WriteCall;
    files.FailAt = files.Counts[FaultyFileOps::WriteCall];
    files.FailErrno = EIO;
    scenario.Table.DeleteSelectedAlarm();
    EXPECT_EQ(39, scenario.Table.AlarmCount);
    EXPECT_EQ(old, ReadBytes(scenario.File));
    ASSERT_EQ(1u, scenario.Messages.Log.size());
    EXPECT_EQ("File Write Error", scenario.Messages.Log[0].Text);

    files.FailAt = -1;
    scenario.ExpectSaved();
    EXPECT_EQ(39u * AlarmRecordSize, ReadBytes(scenario.File).size());
}

} // namespace
} // namespace vobrik

#include "app/Settings.h"
#include "core/AlarmTable.h"
#include "core/CheckPass.h"

#include "Fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace vobrik {
namespace {

using namespace vobrik::test;
namespace fs = std::filesystem;

// One kind of file the program saves, with the state in memory it is saved
// from. The same faults are put in the way of every kind.
class SavedFile {
  public:
    SavedFile(const std::string& file, IFileOps& files)
        : File(file), Temporary(file + ".tmp"), Files(files) {}
    virtual ~SavedFile() = default;

    std::string File;
    std::string Temporary;
    FakeMessages Messages;

    // The message the user gets when a save fails.
    virtual const char* FailureText() const = 0;
    // A write limit that splits the save of a changed state into several writes.
    virtual size_t SmallWrites() const = 0;
    // Puts a small state in memory.
    virtual void SetOld() = 0;
    // Puts a larger state in memory, different for each variant, so that a
    // partly replaced file would show.
    virtual void Change(int variant) = 0;
    virtual bool Save() = 0;
    // What a complete save of the state in memory writes.
    virtual std::vector<unsigned char> Image() const = 0;
    // The state in memory, to see that a failed save leaves it alone.
    virtual std::string Memory() const = 0;

    std::vector<unsigned char> SaveOldThenChange() {
        SetOld();
        EXPECT_TRUE(Save());
        auto old = ReadBytes(File);
        EXPECT_EQ(Image(), old);
        Change(0);
        EXPECT_NE(old.size(), Image().size());
        return old;
    }

    // The save fails, the user is told, and nothing else changes: not the old
    // file, not the state in memory, and no temporary file is left behind.
    void ExpectRefused(const std::vector<unsigned char>& old) {
        const std::string before = Memory();
        const size_t shown = Messages.Log.size();
        EXPECT_FALSE(Save());
        EXPECT_EQ(old, ReadBytes(File)) << "the old file is intact";
        ASSERT_EQ(shown + 1, Messages.Log.size());
        EXPECT_EQ(FailureText(), Messages.Log.back().Text);
        EXPECT_EQ("Error", Messages.Log.back().Caption);
        EXPECT_EQ(MB_OK, Messages.Log.back().Type);
        EXPECT_EQ(before, Memory()) << "the state in memory is unchanged";
        EXPECT_FALSE(fs::exists(fs::symlink_status(Temporary))) << "the temporary file is removed";
    }

    void ExpectSaved() {
        const size_t shown = Messages.Log.size();
        EXPECT_TRUE(Save());
        EXPECT_EQ(Image(), ReadBytes(File));
        EXPECT_EQ(shown, Messages.Log.size());
        EXPECT_FALSE(fs::exists(fs::symlink_status(Temporary)));
    }

  protected:
    IFileOps& Files;
};

// The reminder file: 3 records, then 40.
class ReminderFile : public SavedFile {
  public:
    ReminderFile(const std::string& file, IFileOps& files)
        : SavedFile(file, files), Table(List, Messages, Clock, files, file) {}

    FakeList List;
    FakeClock Clock;
    TAlarmTable Table;

    const char* FailureText() const override { return "File Write Error"; }
    size_t SmallWrites() const override { return 4096; }
    void SetOld() override { Fill(3, "ancien "); }
    void Change(int variant) override {
        Fill(40 + variant, ("nouveau " + std::to_string(variant) + " ").c_str());
    }
    bool Save() override { return Table.SaveAlarms(); }
    std::vector<unsigned char> Image() const override {
        std::vector<unsigned char> bytes;
        for (int i = 0; i < Table.AlarmCount; ++i) {
            unsigned char image[AlarmRecordSize];
            EncodeAlarm(*Table.Alarms[i], image);
            bytes.insert(bytes.end(), image, image + AlarmRecordSize);
        }
        return bytes;
    }
    std::string Memory() const override {
        const auto image = Image();
        return std::string(image.begin(), image.end()) + " next " + std::to_string(Table.NextId);
    }

  private:
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
};

// The settings file: the defaults, then six values of other lengths.
class SettingsFile : public SavedFile {
  public:
    using SavedFile::SavedFile;

    TSettings Values;

    const char* FailureText() const override { return "File Access Error"; }
    size_t SmallWrites() const override { return 16; }
    void SetOld() override { Values = TSettings(); }
    void Change(int variant) override {
        Values.StartHidden = true;
        Values.ShowSummary = false;
        Values.PosX = -123456 - variant;
        Values.PosY = 2147483647;
        Values.PosH = 98765 + variant;
        Values.PosW = -2147483647 - 1;
    }
    bool Save() override { return SaveSettings(Values, Messages, Files, File); }
    std::vector<unsigned char> Image() const override {
        const std::string text = FormatSettings(Values);
        return {text.begin(), text.end()};
    }
    std::string Memory() const override { return FormatSettings(Values); }
};

struct SavedKind {
    const char* Name;
    const char* FileName;
    std::function<std::unique_ptr<SavedFile>(const std::string&, IFileOps&)> Make;
};

void PrintTo(const SavedKind& kind, std::ostream* out) {
    *out << kind.Name;
}

const SavedKind Reminders{"Reminders", "ALARMS.VBK", [](const std::string& file, IFileOps& files) {
                              return std::make_unique<ReminderFile>(file, files);
                          }};

const SavedKind Settings{"Settings", "VOBRIK.INI", [](const std::string& file, IFileOps& files) {
                             return std::make_unique<SettingsFile>(file, files);
                         }};

class SaveFaults : public ::testing::TestWithParam<SavedKind> {
  protected:
    TempDir Dir;
    std::unique_ptr<SavedFile> Make(const std::string& folder, IFileOps& files) {
        const std::string file =
            (folder.empty() ? Dir.Root() : Dir.Path(folder)) + "/" + GetParam().FileName;
        return GetParam().Make(file, files);
    }
    std::unique_ptr<SavedFile> Make(IFileOps& files = SystemFileOps()) { return Make("", files); }
};

// Each system call of a save fails in turn, with ENOSPC and with EIO: the open
// of the temporary file, each of its writes (kept small, so that there are
// several), the sync, the close, the rename, then the calls that sync the
// directory.
TEST_P(SaveFaults, EachCallFailingInTurnKeepsTheOldFile) {
    std::vector<FaultyFileOps::TCall> trace;
    size_t smallWrites = 0;
    size_t changedSize = 0;
    {
        TempDir dir;
        FaultyFileOps files;
        auto saved = GetParam().Make(dir.Path(GetParam().FileName), files);
        files.WriteLimit = smallWrites = saved->SmallWrites();
        saved->SaveOldThenChange();
        changedSize = saved->Image().size();
        files.Trace.clear();
        saved->ExpectSaved();
        trace = files.Trace;
    }
    const long writes = std::count(trace.begin(), trace.end(), FaultyFileOps::WriteCall);
    ASSERT_EQ(static_cast<long>((changedSize + smallWrites - 1) / smallWrites), writes);
    ASSERT_GE(writes, 3) << "several writes";
    const auto rename = std::find(trace.begin(), trace.end(), FaultyFileOps::RenameCall);
    ASSERT_NE(trace.end(), rename);
    ASSERT_LT(rename - trace.begin() + 1, static_cast<long>(trace.size()))
        << "the directory is synced after the rename";

    for (int error : {ENOSPC, EIO}) {
        for (size_t at = 0; at < trace.size(); ++at) {
            const FaultyFileOps::TCall call = trace[at];
            const int nth = static_cast<int>(std::count(trace.begin(), trace.begin() + at, call));
            SCOPED_TRACE(std::string(CallName(call)) + " #" + std::to_string(nth) +
                         (error == ENOSPC ? " ENOSPC" : " EIO"));

            TempDir dir;
            FaultyFileOps files;
            files.WriteLimit = smallWrites;
            auto saved = GetParam().Make(dir.Path(GetParam().FileName), files);
            const auto old = saved->SaveOldThenChange();
            files = FaultyFileOps();
            files.WriteLimit = smallWrites;
            files.FailCall = call;
            files.FailAt = nth;
            files.FailErrno = error;
            if (trace.begin() + static_cast<long>(at) <= rename) {
                saved->ExpectRefused(old);
            } else {
                // The new file is complete and in place once renamed; the
                // directory sync only makes that lasting, and is done as well
                // as it can be.
                saved->ExpectSaved();
            }

            files.FailAt = -1;
            saved->Change(1);
            saved->ExpectSaved();
        }
    }
}

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

TEST_P(SaveFaults, TemporaryFileLeftByAFailedCleanupIsReplacedByTheNextSave) {
    CleanupFailingFileOps files;
    auto saved = Make(files);
    const auto old = saved->SaveOldThenChange();

    files.FailCall = FaultyFileOps::WriteCall;
    files.FailAt = files.Counts[FaultyFileOps::WriteCall];
    files.UnlinkFails = true;
    EXPECT_FALSE(saved->Save());
    EXPECT_EQ(old, ReadBytes(saved->File));
    EXPECT_TRUE(fs::exists(saved->Temporary)) << "the clean-up really failed";

    files.FailAt = -1;
    files.UnlinkFails = false;
    saved->ExpectSaved();
}

TEST_P(SaveFaults, RealFullDiskKeepsTheOldFile) {
    fs::create_directory(Dir.Path("disk"));
    ScopedMount disk = ScopedMount::Tmpfs(Dir.Path("disk"), "size=64k,mode=0755");
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Failure() << "; the full-disk case is not exercised";

    auto saved = Make("disk", SystemFileOps());
    const auto old = saved->SaveOldThenChange();
    // Fill what is left of the disk.
    {
        const std::vector<unsigned char> block(4096, 0xAA);
        FILE* filler = std::fopen(Dir.Path("disk/filler").c_str(), "wb");
        ASSERT_NE(nullptr, filler);
        while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
               std::fflush(filler) == 0) {
        }
        std::fclose(filler);
    }
    saved->ExpectRefused(old);

    fs::remove(Dir.Path("disk/filler"));
    saved->ExpectSaved();
}

TEST_P(SaveFaults, DiskWithoutAFreeFileEntryKeepsTheOldFile) {
    fs::create_directory(Dir.Path("disk"));
    ScopedMount disk = ScopedMount::Tmpfs(Dir.Path("disk"), "size=1m,nr_inodes=8,mode=0755");
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Failure() << "; the case of no free file entry is not exercised";

    auto saved = Make("disk", SystemFileOps());
    const auto old = saved->SaveOldThenChange();
    for (int fillers = 0;; ++fillers) {
        FILE* filler = std::fopen(Dir.Path("disk/f" + std::to_string(fillers)).c_str(), "wb");
        if (filler == nullptr)
            break;
        std::fclose(filler);
    }
    saved->ExpectRefused(old);

    fs::remove(Dir.Path("disk/f0"));
    saved->ExpectSaved();
}

TEST_P(SaveFaults, ReadOnlyDirectoryKeepsTheOldFile) {
    fs::create_directory(Dir.Path("ro"));
    auto saved = Make("ro", SystemFileOps());
    const auto old = saved->SaveOldThenChange();

    ASSERT_EQ(0, ::chmod(Dir.Path("ro").c_str(), 0555));
    ScopedFilePermissions asAUser;
    if (!asAUser.Enforced())
        GTEST_SKIP() << "root's right to ignore file permissions cannot be dropped here";
    saved->ExpectRefused(old);

    ASSERT_EQ(0, ::chmod(Dir.Path("ro").c_str(), 0755));
    saved->ExpectSaved();
}

TEST_P(SaveFaults, ReadOnlyMountKeepsTheOldFile) {
    fs::create_directory(Dir.Path("ro"));
    auto saved = Make("ro", SystemFileOps());
    const auto old = saved->SaveOldThenChange();

    ScopedMount readOnly = ScopedMount::ReadOnlyBind(Dir.Path("ro"));
    if (!readOnly.Mounted())
        GTEST_SKIP() << readOnly.Failure() << "; the read-only mount case is not exercised";
    saved->ExpectRefused(old);

    ASSERT_TRUE(readOnly.Unmount());
    saved->ExpectSaved();
}

TEST_P(SaveFaults, ReadOnlyFileIsLeftAlone) {
    auto saved = Make();
    const auto old = saved->SaveOldThenChange();
    ASSERT_EQ(0, ::chmod(saved->File.c_str(), 0444));

    saved->ExpectRefused(old);
    EXPECT_EQ(fs::perms(0444), fs::status(saved->File).permissions());

    ASSERT_EQ(0, ::chmod(saved->File.c_str(), 0644));
    saved->ExpectSaved();
}

TEST_P(SaveFaults, SymbolicLinkStaysALinkToTheNewImage) {
    fs::create_directory(Dir.Path("real"));
    WriteBytes(Dir.Path("real/data"), {});
    fs::create_symlink("real/data", Dir.Path(GetParam().FileName));

    auto saved = Make();
    saved->Temporary = Dir.Path("real/data.tmp");
    saved->Change(0);
    saved->ExpectSaved();
    EXPECT_TRUE(fs::is_symlink(Dir.Path(GetParam().FileName)));
    EXPECT_EQ(saved->Image(), ReadBytes(Dir.Path("real/data")));
}

TEST_P(SaveFaults, FailedSaveThroughALinkKeepsTheLinkAndItsTarget) {
    fs::create_directory(Dir.Path("real"));
    fs::create_symlink("real/data", Dir.Path(GetParam().FileName));
    FaultyFileOps files;
    auto saved = Make(files);
    saved->Temporary = Dir.Path("real/data.tmp");
    const auto old = saved->SaveOldThenChange();

    files.FailCall = FaultyFileOps::FsyncCall;
    files.FailAt = files.Counts[FaultyFileOps::FsyncCall];
    files.FailErrno = EIO;
    saved->ExpectRefused(old);
    EXPECT_TRUE(fs::is_symlink(Dir.Path(GetParam().FileName)));

    files.FailAt = -1;
    saved->ExpectSaved();
    EXPECT_TRUE(fs::is_symlink(Dir.Path(GetParam().FileName)));
}

// A link to anything but a plain file (here a named pipe; in life, a device)
// is refused: the rename would replace what it names.
TEST_P(SaveFaults, LinkToSomethingOtherThanAFileIsNeverReplaced) {
    ASSERT_EQ(0, ::mkfifo(Dir.Path("pipe").c_str(), 0600));
    fs::create_symlink("pipe", Dir.Path(GetParam().FileName));
    auto saved = Make();
    saved->Change(0);
    const size_t shown = saved->Messages.Log.size();
    EXPECT_FALSE(saved->Save());
    EXPECT_EQ(shown + 1, saved->Messages.Log.size());
    EXPECT_TRUE(fs::is_fifo(Dir.Path("pipe")));
    EXPECT_TRUE(fs::is_symlink(Dir.Path(GetParam().FileName)));
}

// Whatever stands under the temporary name is removed, never written through
// and never waited on.
TEST_P(SaveFaults, LeftoverTemporaryFileIsReplaced) {
    auto saved = Make();
    WriteBytes(saved->Temporary, std::vector<unsigned char>(5000, 0x77));
    saved->Change(0);
    saved->ExpectSaved();
}

TEST_P(SaveFaults, LinkUnderTheTemporaryNameIsNotWrittenThrough) {
    const std::vector<unsigned char> precious = {'k', 'e', 'e', 'p'};
    WriteBytes(Dir.Path("precious.txt"), precious);
    auto saved = Make();
    fs::create_symlink("precious.txt", saved->Temporary);

    saved->Change(0);
    saved->ExpectSaved();
    EXPECT_EQ(precious, ReadBytes(Dir.Path("precious.txt")));
}

TEST_P(SaveFaults, NamedPipeUnderTheTemporaryNameDoesNotBlockTheSave) {
    auto saved = Make();
    ASSERT_EQ(0, ::mkfifo(saved->Temporary.c_str(), 0644));
    saved->Change(0);
    saved->ExpectSaved();
}

TEST_P(SaveFaults, DirectoryUnderTheTemporaryNameIsReportedUntilItIsGone) {
    auto saved = Make();
    const auto old = saved->SaveOldThenChange();
    fs::create_directory(saved->Temporary);

    const std::string before = saved->Memory();
    EXPECT_FALSE(saved->Save());
    EXPECT_EQ(old, ReadBytes(saved->File));
    ASSERT_EQ(1u, saved->Messages.Log.size());
    EXPECT_EQ(saved->FailureText(), saved->Messages.Log[0].Text);
    EXPECT_EQ(before, saved->Memory());

    fs::remove(saved->Temporary);
    saved->ExpectSaved();
}

INSTANTIATE_TEST_SUITE_P(EveryFile, SaveFaults, ::testing::Values(Reminders, Settings),
                         [](const ::testing::TestParamInfo<SavedKind>& param) {
                             return std::string(param.param.Name);
                         });

TEST(SaveAlarms, NewFileIsCreatedWithTheUsualPermissions) {
    TempDir dir;
    ReminderFile saved(dir.Path("ALARMS.VBK"), SystemFileOps());
    const mode_t old = ::umask(022);
    ASSERT_TRUE(saved.Save());
    ::umask(old);
    EXPECT_EQ(fs::perms(0644), fs::status(saved.File).permissions());
}

// The saves the program makes on its own: at the end of a check pass, and
// after a deletion. A failure there keeps the change in memory, and the next
// save writes it.
TEST(SaveAlarms, FailedSaveAfterACheckPassKeepsThePassInMemoryUntilTheNextSave) {
    ScopedTz zone("Europe/Paris");
    TempDir dir;
    FaultyFileOps files;
    ReminderFile saved(dir.Path("ALARMS.VBK"), files);
    TAlarm due;
    due.When = Local(2026, 3, 2, 9, 0);
    SetAlarmMessage(due, "due");
    saved.Table.Append(due);
    TAlarm later = due;
    later.When = Local(2026, 3, 9, 9, 0);
    SetAlarmMessage(later, "later");
    saved.Table.Append(later);
    ASSERT_TRUE(saved.Save());
    const auto old = ReadBytes(saved.File);

    FakeTimer timer;
    FakeSound sound;
    ScriptedRinger ringer;
    ringer.Script.push_back({RingAcknowledge});
    TAlarmChecker checker(saved.Table, timer, sound, ringer);
    saved.Clock.Time = Local(2026, 3, 2, 9, 30);
    files.FailCall = FaultyFileOps::RenameCall;
    files.FailAt = files.Counts[FaultyFileOps::RenameCall];
    files.FailErrno = ENOSPC;
    checker.OnCheckTimer(false);

    EXPECT_EQ(old, ReadBytes(saved.File));
    ASSERT_EQ(1u, saved.Messages.Log.size());
    EXPECT_EQ("File Write Error", saved.Messages.Log[0].Text);
    ASSERT_EQ(1, saved.Table.AlarmCount);
    EXPECT_STREQ("later", saved.Table.Alarms[0]->Message);
    EXPECT_EQ("set 1 30000", timer.Calls.back()) << "the program keeps checking";

    files.FailAt = -1;
    saved.ExpectSaved();
}

TEST(SaveAlarms, FailedSaveAfterADeletionKeepsTheRecordOnDiskUntilTheNextSave) {
    TempDir dir;
    FaultyFileOps files;
    ReminderFile saved(dir.Path("ALARMS.VBK"), files);
    const auto old = saved.SaveOldThenChange();
    saved.Table.RefreshAlarmList();
    saved.List.Selected = 0;

    files.FailCall = FaultyFileOps::WriteCall;
    files.FailAt = files.Counts[FaultyFileOps::WriteCall];
    files.FailErrno = EIO;
    saved.Table.DeleteSelectedAlarm();
    EXPECT_EQ(39, saved.Table.AlarmCount);
    EXPECT_EQ(old, ReadBytes(saved.File));
    ASSERT_EQ(1u, saved.Messages.Log.size());
    EXPECT_EQ("File Write Error", saved.Messages.Log[0].Text);

    files.FailAt = -1;
    saved.ExpectSaved();
    EXPECT_EQ(39u * AlarmRecordSize, ReadBytes(saved.File).size());
}

} // namespace
} // namespace vobrik

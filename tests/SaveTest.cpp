#include "app/Settings.h"
#include "core/AlarmTable.h"

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

// One kind of file the program keeps, with the state in memory it is saved
// from. The same faults are put in the way of every kind.
class KeptFile {
  public:
    KeptFile(const std::string& file, IFileOps& files)
        : File(file), Temporary(file + ".tmp"), Files(files) {}
    virtual ~KeptFile() = default;

    std::string File;
    std::string Temporary;
    FakeMessages Messages;

    // The message the user gets when a save fails.
    virtual const char* FailureText() const = 0;
    // Variant -1 is a small state; the others are larger, and differ from each
    // other, so that a partly replaced file would show.
    virtual void Set(int variant) = 0;
    virtual bool Save() = 0;
    // False when the file is refused as unreadable.
    virtual bool Load() = 0;
    // What a complete save of the state in memory writes.
    virtual std::vector<unsigned char> Image() const = 0;

    std::vector<unsigned char> SaveOldThenChange() {
        Set(-1);
        EXPECT_TRUE(Save());
        auto old = ReadBytes(File);
        EXPECT_EQ(Image(), old);
        Set(0);
        return old;
    }

    // The save fails, the user is told, and nothing else changes: not the old
    // file, not the state in memory, and no temporary file is left behind.
    void ExpectRefused(const std::vector<unsigned char>& old) {
        const auto before = Image();
        const size_t shown = Messages.Log.size();
        EXPECT_FALSE(Save());
        EXPECT_EQ(old, ReadBytes(File)) << "the old file is intact";
        ASSERT_EQ(shown + 1, Messages.Log.size());
        EXPECT_EQ(FailureText(), Messages.Log.back().Text);
        EXPECT_EQ("Error", Messages.Log.back().Caption);
        EXPECT_EQ(MB_OK, Messages.Log.back().Type);
        EXPECT_EQ(before, Image()) << "the state in memory is unchanged";
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
class ReminderFile : public KeptFile {
  public:
    ReminderFile(const std::string& file, IFileOps& files)
        : KeptFile(file, files), Table(List, Messages, Clock, files, file) {}

    const char* FailureText() const override { return "File Write Error"; }
    void Set(int variant) override {
        while (Table.AlarmCount > 0)
            Table.RemoveByMovingLast(Table.AlarmCount - 1);
        const int count = variant < 0 ? 3 : 40 + variant;
        for (int i = 0; i < count; ++i) {
            TAlarm alarm;
            alarm.When = 1000 + i;
            alarm.Type = static_cast<uint8_t>(i % 4 + 1);
            alarm.EveryDays = i;
            SetAlarmMessage(
                alarm, ("message " + std::to_string(variant) + " " + std::to_string(i)).c_str());
            Table.Append(alarm);
        }
    }
    bool Save() override { return Table.SaveAlarms(); }
    bool Load() override { return Table.LoadAlarms() != TLoadResult::OpenFailed; }
    std::vector<unsigned char> Image() const override {
        std::vector<unsigned char> bytes;
        for (int i = 0; i < Table.AlarmCount; ++i) {
            unsigned char image[AlarmRecordSize];
            EncodeAlarm(*Table.Alarms[i], image);
            bytes.insert(bytes.end(), image, image + AlarmRecordSize);
        }
        return bytes;
    }

  private:
    FakeList List;
    FakeClock Clock;
    TAlarmTable Table;
};

// The settings file: the defaults, then six values of other lengths.
class SettingsFile : public KeptFile {
  public:
    using KeptFile::KeptFile;

    const char* FailureText() const override { return "File Access Error"; }
    void Set(int variant) override {
        Values = TSettings();
        if (variant < 0)
            return;
        Values.StartHidden = true;
        Values.ShowSummary = false;
        Values.PosX = -123456 - variant;
        Values.PosY = 2147483647;
        Values.PosH = 98765 + variant;
        Values.PosW = -2147483647 - 1;
    }
    bool Save() override { return SaveSettings(Values, Messages, Files, File); }
    bool Load() override { return LoadSettings(Values, Messages, Files, File); }
    std::vector<unsigned char> Image() const override {
        const std::string text = FormatSettings(Values);
        return {text.begin(), text.end()};
    }

  private:
    TSettings Values;
};

// The parameter is the kept file's name.
class FileFaults : public ::testing::TestWithParam<const char*> {
  protected:
    TempDir Dir;
    // The kept file in dir, by default the test's own directory.
    std::unique_ptr<KeptFile> Make(IFileOps& files = SystemFileOps(), std::string dir = "") {
        const std::string path = (dir.empty() ? Dir.Root() : dir) + "/" + GetParam();
        if (std::string(GetParam()) == AlarmFileName)
            return std::make_unique<ReminderFile>(path, files);
        return std::make_unique<SettingsFile>(path, files);
    }
};

// Each system call of a save fails in turn, with ENOSPC and with EIO: the open
// of the temporary file, each of its writes (kept small, so that there are
// several), the sync, the close, the rename, then the calls that sync the
// directory.
TEST_P(FileFaults, EachCallOfASaveFailingInTurnKeepsTheOldFile) {
    std::vector<FaultyFileOps::TCall> trace;
    size_t writeLimit = 0;
    {
        TempDir dir;
        FaultyFileOps files;
        auto kept = Make(files, dir.Root());
        kept->SaveOldThenChange();
        files.WriteLimit = writeLimit = kept->Image().size() / 3 + 1;
        files.Trace.clear();
        kept->ExpectSaved();
        trace = files.Trace;
    }
    using Call = FaultyFileOps::TCall;
    EXPECT_EQ(3, std::count(trace.begin(), trace.end(), FaultyFileOps::WriteCall));
    const auto rename = std::find(trace.begin(), trace.end(), FaultyFileOps::RenameCall);
    ASSERT_NE(trace.end(), rename);
    EXPECT_EQ((std::vector<Call>{FaultyFileOps::FsyncCall, FaultyFileOps::CloseCall}),
              std::vector<Call>(rename - 2, rename))
        << "the new file is on the disk and closed before it replaces the old one";
    ASSERT_NE(trace.end(), rename + 1) << "the directory is synced after the rename";

    for (int error : {ENOSPC, EIO}) {
        for (size_t at = 0; at < trace.size(); ++at) {
            const Call call = trace[at];
            const int nth = static_cast<int>(std::count(trace.begin(), trace.begin() + at, call));
            SCOPED_TRACE(std::string(CallName(call)) + " #" + std::to_string(nth) +
                         (error == ENOSPC ? " ENOSPC" : " EIO"));

            TempDir dir;
            FaultyFileOps files;
            files.WriteLimit = writeLimit;
            auto kept = Make(files, dir.Root());
            const auto old = kept->SaveOldThenChange();
            files.FailCall = call;
            files.FailAt = files.Counts[call] + nth;
            files.FailErrno = error;
            if (trace.begin() + static_cast<long>(at) <= rename) {
                kept->ExpectRefused(old);
            } else {
                // The new file is complete and in place once renamed; the
                // directory sync only makes that lasting, as well as it can.
                kept->ExpectSaved();
            }

            files.FailAt = -1;
            kept->Set(1);
            kept->ExpectSaved();
        }
    }
}

// Fills the disk that holds dir with files until it takes no more, first of
// its blocks, then of its file entries.
std::vector<std::string> FillDisk(const std::string& dir) {
    const std::vector<unsigned char> block(4096, 0xAA);
    std::vector<std::string> names;
    for (bool room = true; room;) {
        names.push_back(dir + "/filler" + std::to_string(names.size()));
        FILE* filler = std::fopen(names.back().c_str(), "wb");
        if (filler == nullptr)
            break;
        for (int i = 0; i < 4 && room; ++i)
            room = std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
                   std::fflush(filler) == 0;
        std::fclose(filler);
    }
    return names;
}

TEST_P(FileFaults, FullDiskKeepsTheOldFile) {
    // No free block, then no free file entry.
    const char* const disks[] = {"size=64k,mode=0755", "size=1m,nr_inodes=8,mode=0755"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(disks[i]);
        const std::string disk = Dir.Path("disk" + std::to_string(i));
        fs::create_directory(disk);
        ScopedMount mount = ScopedMount::Tmpfs(disk, disks[i]);
        if (!mount.Mounted())
            GTEST_SKIP() << mount.Failure() << "; the full-disk case is not exercised";

        auto kept = Make(SystemFileOps(), disk);
        const auto old = kept->SaveOldThenChange();
        const auto fillers = FillDisk(disk);
        kept->ExpectRefused(old);

        for (const auto& filler : fillers)
            std::remove(filler.c_str());
        kept->ExpectSaved();
    }
}

TEST_P(FileFaults, ReadOnlyPlaceKeepsTheOldFile) {
    fs::create_directory(Dir.Path("ro"));
    auto kept = Make(SystemFileOps(), Dir.Path("ro"));
    const auto old = kept->SaveOldThenChange();
    {
        SCOPED_TRACE("read-only file");
        ASSERT_EQ(0, ::chmod(kept->File.c_str(), 0444));
        kept->ExpectRefused(old);
        EXPECT_EQ(fs::perms(0444), fs::status(kept->File).permissions());
        ASSERT_EQ(0, ::chmod(kept->File.c_str(), 0644));
    }
    {
        SCOPED_TRACE("read-only directory");
        ASSERT_EQ(0, ::chmod(Dir.Path("ro").c_str(), 0555));
        ScopedFilePermissions asAUser;
        if (!asAUser.Enforced())
            GTEST_SKIP() << "root's right to ignore file permissions cannot be dropped here";
        kept->ExpectRefused(old);
    }
    ASSERT_EQ(0, ::chmod(Dir.Path("ro").c_str(), 0755));
    ScopedMount readOnly = ScopedMount::ReadOnlyBind(Dir.Path("ro"));
    if (!readOnly.Mounted())
        GTEST_SKIP() << readOnly.Failure() << "; the read-only mount case is not exercised";
    {
        SCOPED_TRACE("read-only mount");
        kept->ExpectRefused(old);
    }
    ASSERT_TRUE(readOnly.Unmount());
    kept->ExpectSaved();
}

TEST_P(FileFaults, SavedFileHasTheUsualPermissionsOrThoseOfTheFileItReplaces) {
    auto kept = Make();
    const mode_t old = ::umask(022);
    kept->SaveOldThenChange();
    ::umask(old);
    EXPECT_EQ(fs::perms(0644), fs::status(kept->File).permissions());
    ASSERT_EQ(0, ::chmod(kept->File.c_str(), 0600));
    kept->ExpectSaved();
    EXPECT_EQ(fs::perms(0600), fs::status(kept->File).permissions());
}

TEST_P(FileFaults, SymbolicLinkStaysALinkToTheNewImage) {
    const std::string link = Dir.Path(GetParam());
    fs::create_symlink("real/data", link);
    FaultyFileOps files;
    auto kept = Make(files);
    kept->Temporary = Dir.Path("real/data.tmp");
    EXPECT_TRUE(kept->Load()) << "a link to nothing is no file";
    kept->Set(0);
    EXPECT_FALSE(kept->Save()) << "the link's directory is missing";

    fs::create_directory(Dir.Path("real"));
    const auto old = kept->SaveOldThenChange();
    files.FailCall = FaultyFileOps::FsyncCall;
    files.FailAt = files.Counts[FaultyFileOps::FsyncCall];
    kept->ExpectRefused(old);
    EXPECT_TRUE(fs::is_symlink(link));

    files.FailAt = -1;
    kept->ExpectSaved();
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(kept->Image(), ReadBytes(Dir.Path("real/data")));
}

// A link to anything but a plain file (here a named pipe; in life, a device)
// is refused: the rename would replace what it names.
TEST_P(FileFaults, LinkToSomethingOtherThanAFileIsNeverReplaced) {
    ASSERT_EQ(0, ::mkfifo(Dir.Path("pipe").c_str(), 0600));
    fs::create_symlink("pipe", Dir.Path(GetParam()));
    auto saved = Make();
    saved->Set(0);
    const size_t shown = saved->Messages.Log.size();
    EXPECT_FALSE(saved->Save());
    EXPECT_EQ(shown + 1, saved->Messages.Log.size());
    EXPECT_TRUE(fs::is_fifo(Dir.Path("pipe")));
    EXPECT_TRUE(fs::is_symlink(Dir.Path(GetParam())));
}

// Whatever stands under the temporary name is removed, never written through
// and never waited on.
TEST_P(FileFaults, WhateverStandsUnderTheTemporaryNameIsReplaced) {
    const std::vector<unsigned char> precious = {'k', 'e', 'e', 'p'};
    WriteBytes(Dir.Path("precious.txt"), precious);
    const std::function<void(const std::string&)> leftovers[] = {
        [](const std::string& path) { WriteBytes(path, std::vector<unsigned char>(5000, 0x77)); },
        [&](const std::string& path) { fs::create_symlink(Dir.Path("precious.txt"), path); },
        [](const std::string& path) { ASSERT_EQ(0, ::mkfifo(path.c_str(), 0644)); },
    };
    auto kept = Make();
    for (int i = 0; i < 3; ++i) {
        leftovers[i](kept->Temporary);
        kept->Set(i);
        kept->ExpectSaved();
    }
    EXPECT_EQ(precious, ReadBytes(Dir.Path("precious.txt")));

    // A directory cannot be removed for it, and is reported until it is gone.
    const auto old = ReadBytes(kept->File);
    fs::create_directory(kept->Temporary);
    kept->Set(5);
    EXPECT_FALSE(kept->Save());
    EXPECT_EQ(old, ReadBytes(kept->File));
    ASSERT_EQ(1u, kept->Messages.Log.size());
    EXPECT_EQ(kept->FailureText(), kept->Messages.Log[0].Text);
    fs::remove(kept->Temporary);
    kept->ExpectSaved();
}

// Something that is not the kept file stands under its name, or cannot be
// read. Loading neither waits nor reads without end: the file is refused as
// unreadable, unread, and left as it is.
TEST_P(FileFaults, OddOrUnreadableFileIsRefusedUnreadAndKept) {
    ScopedFilePermissions asAUser;
    if (!asAUser.Enforced())
        GTEST_SKIP() << "root's right to ignore file permissions cannot be dropped here";
    const struct {
        const char* Name;
        std::function<void(const std::string&)> Make;
        FaultyFileOps::TCall Failing = FaultyFileOps::OpenCall;
        int FailAt = -1;
    } odds[] = {
        {"named pipe", [](const std::string& p) { ASSERT_EQ(0, ::mkfifo(p.c_str(), 0644)); }},
        {"directory", [](const std::string& p) { fs::create_directory(p); }},
        {"link to an endless device",
         [](const std::string& p) { fs::create_symlink("/dev/zero", p); }},
        {"huge file",
         [](const std::string& p) {
             WriteBytes(p, {'x'});
             ASSERT_EQ(0, ::truncate(p.c_str(), static_cast<off_t>(MaxReadSize) + 1));
         }},
        {"file its user may not read",
         [](const std::string& p) {
             WriteBytes(p, {'x'});
             ASSERT_EQ(0, ::chmod(p.c_str(), 0));
         }},
        {"failing open", [](const std::string& p) { WriteBytes(p, {'x'}); },
         FaultyFileOps::OpenCall, 0},
        {"failing read", [](const std::string& p) { WriteBytes(p, {'x'}); },
         FaultyFileOps::ReadCall, 0},
    };
    for (const auto& odd : odds) {
        SCOPED_TRACE(odd.Name);
        TempDir dir;
        FaultyFileOps files;
        files.FailCall = odd.Failing;
        files.FailAt = odd.FailAt;
        auto kept = Make(files, dir.Root());
        odd.Make(kept->File);
        struct stat before {};
        ASSERT_EQ(0, ::lstat(kept->File.c_str(), &before));
        const auto memory = kept->Image();

        EXPECT_FALSE(kept->Load());
        ASSERT_EQ(1u, kept->Messages.Log.size());
        EXPECT_EQ("File Access Error", kept->Messages.Log[0].Text);
        EXPECT_EQ(memory, kept->Image());
        if (odd.Failing != FaultyFileOps::ReadCall) {
            EXPECT_EQ(0, files.Counts[FaultyFileOps::ReadCall]) << "refused unread";
        }
        struct stat after {};
        ASSERT_EQ(0, ::lstat(kept->File.c_str(), &after));
        EXPECT_EQ(before.st_ino, after.st_ino);
        EXPECT_EQ(before.st_mode, after.st_mode);
        EXPECT_EQ(before.st_size, after.st_size);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFile, FileFaults, ::testing::Values(AlarmFileName, SettingsFileName),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                             return std::string(std::string(param.param) == AlarmFileName
                                                    ? "Reminders"
                                                    : "Settings");
                         });

} // namespace
} // namespace vobrik

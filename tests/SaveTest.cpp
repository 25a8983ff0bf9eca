#include "core/AlarmTable.h"

#include "Fakes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace vobrik {
namespace {

using namespace vobrik::test;
namespace fs = std::filesystem;

struct Fault {
    FaultyFileOps::TCall Call;
    int At;
    int Errno;
};

std::string Describe(const Fault& fault) {
    static const char* names[] = {"open", "read", "write", "fsync", "close", "rename", "unlink"};
    return std::string(names[fault.Call]) + " #" + std::to_string(fault.At) + " " +
           (fault.Errno == ENOSPC ? "ENOSPC" : "EIO");
}

void PrintTo(const Fault& fault, std::ostream* out) {
    *out << Describe(fault);
}

class SaveAlarmsTest : public ::testing::TestWithParam<Fault> {
  protected:
    TempDir Dir;
    FakeList List;
    FakeMessages Messages;
    FakeClock Clock;
    FaultyFileOps Files;
    std::string File = Dir.Path("ALARMS.VBK");
    TAlarmTable Table{List, Messages, Clock, Files, File};

    void Fill(int count, const char* text) {
        while (Table.AlarmCount > 0)
            Table.RemoveByMovingLast(Table.AlarmCount - 1);
        for (int i = 0; i < count; ++i) {
            TAlarm alarm;
            alarm.When = 1000 + i;
            SetAlarmMessage(alarm, text);
            Table.Append(alarm);
        }
    }
};

TEST_P(SaveAlarmsTest, FailedCallLeavesTheOldFileAndASecondSaveWorks) {
    Fill(3, "ancien");
    ASSERT_TRUE(Table.SaveAlarms());
    const auto old = ReadBytes(File);

    // A different size, so that a partly replaced file would show.
    Fill(40, "nouveau");
    Files = FaultyFileOps();
    Files.FailCall = GetParam().Call;
    Files.FailAt = GetParam().At;
    Files.FailErrno = GetParam().Errno;
    EXPECT_FALSE(Table.SaveAlarms());
    EXPECT_EQ(old, ReadBytes(File));
    ASSERT_EQ(1u, Messages.Log.size());
    EXPECT_EQ("File Write Error", Messages.Log[0].Text);
    EXPECT_EQ("Error", Messages.Log[0].Caption);
    EXPECT_FALSE(fs::exists(File + ".tmp")) << "the temporary file is removed";

    Files.FailAt = -1;
    EXPECT_TRUE(Table.SaveAlarms());
    EXPECT_EQ(40u * AlarmRecordSize, ReadBytes(File).size());
}

INSTANTIATE_TEST_SUITE_P(EveryCall, SaveAlarmsTest,
                         ::testing::Values(Fault{FaultyFileOps::OpenCall, 0, ENOSPC},
                                           Fault{FaultyFileOps::OpenCall, 0, EIO},
                                           Fault{FaultyFileOps::WriteCall, 0, ENOSPC},
                                           Fault{FaultyFileOps::WriteCall, 0, EIO},
                                           Fault{FaultyFileOps::FsyncCall, 0, ENOSPC},
                                           Fault{FaultyFileOps::FsyncCall, 0, EIO},
                                           Fault{FaultyFileOps::CloseCall, 0, ENOSPC},
                                           Fault{FaultyFileOps::CloseCall, 0, EIO},
                                           Fault{FaultyFileOps::RenameCall, 0, ENOSPC},
                                           Fault{FaultyFileOps::RenameCall, 0, EIO}),
                         [](const ::testing::TestParamInfo<Fault>& param) {
                             std::string name = Describe(param.param);
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

// A write that stores only part of what it was given must be continued, not
// taken as the whole image.
class ShortWriteFileOps : public FaultyFileOps {
  public:
    ssize_t Write(int fd, const void* buffer, size_t size) override {
        return FaultyFileOps::Write(fd, buffer, size > 100 ? 100 : size);
    }
};

TEST(SaveAlarms, ShortWritesAreContinued) {
    TempDir dir;
    FakeList list;
    FakeMessages messages;
    FakeClock clock;
    ShortWriteFileOps files;
    TAlarmTable table(list, messages, clock, files, dir.Path("ALARMS.VBK"));
    for (int i = 0; i < 5; ++i)
        table.Append(TAlarm{});
    ASSERT_TRUE(table.SaveAlarms());
    EXPECT_EQ(5u * AlarmRecordSize, ReadBytes(dir.Path("ALARMS.VBK")).size());
}

TEST(SaveAlarms, SymbolicLinkStaysALinkToTheNewImage) {
    TempDir dir;
    fs::create_directory(dir.Path("real"));
    WriteBytes(dir.Path("real/data.vbk"), {});
    fs::create_symlink("real/data.vbk", dir.Path("ALARMS.VBK"));

    FakeList list;
    FakeMessages messages;
    FakeClock clock;
    TAlarmTable table(list, messages, clock, SystemFileOps(), dir.Path("ALARMS.VBK"));
    table.Append(TAlarm{});
    ASSERT_TRUE(table.SaveAlarms());
    EXPECT_TRUE(fs::is_symlink(dir.Path("ALARMS.VBK")));
    EXPECT_EQ(AlarmRecordSize, ReadBytes(dir.Path("real/data.vbk")).size());
}

TEST(SaveAlarms, ReadOnlyFileIsLeftAlone) {
    TempDir dir;
    const std::string file = dir.Path("ALARMS.VBK");
    WriteBytes(file, {1, 2, 3});
    ::chmod(file.c_str(), 0444);

    FakeList list;
    FakeMessages messages;
    FakeClock clock;
    TAlarmTable table(list, messages, clock, SystemFileOps(), file);
    table.Append(TAlarm{});
    EXPECT_FALSE(table.SaveAlarms());
    EXPECT_EQ((std::vector<unsigned char>{1, 2, 3}), ReadBytes(file));
    ASSERT_EQ(1u, messages.Log.size());
    EXPECT_EQ("File Write Error", messages.Log[0].Text);

    ::chmod(file.c_str(), 0644);
    EXPECT_TRUE(table.SaveAlarms());
}

TEST(SaveAlarms, NewFileIsCreatedWithTheUsualPermissions) {
    TempDir dir;
    FakeList list;
    FakeMessages messages;
    FakeClock clock;
    TAlarmTable table(list, messages, clock, SystemFileOps(), dir.Path("ALARMS.VBK"));
    const mode_t old = ::umask(022);
    ASSERT_TRUE(table.SaveAlarms());
    ::umask(old);
    EXPECT_EQ(fs::perms(0644), fs::status(dir.Path("ALARMS.VBK")).permissions());
}

} // namespace
} // namespace vobrik

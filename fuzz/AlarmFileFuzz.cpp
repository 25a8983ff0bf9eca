// Any bytes as ALARMS.VBK: the file is loaded, the day summary built on it, then
// two check passes run with the ring dialogs answered from a cycle of answers,
// odd ones included. Both passes must end, and no reminder may be lost: records
// not yet due and recurring records come out of the passes, and the saved file
// holds the table, then every record that did not fit into it, and loads again.

#include "core/AlarmTable.h"
#include "core/CheckPass.h"
#include "summary/SummaryLines.h"

#include "FuzzSupport.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace vobrik;
using namespace vobrik::test;
using vobrik::fuzz::Terminated;

using Answer = ScriptedRinger::Answer;
constexpr int Days = ScriptedRinger::Days, Hours = ScriptedRinger::Hours,
              Minutes = ScriptedRinger::Minutes;

// Every kind of answer a user or a broken dialog can give.
// clang-format off
const Answer Answers[] = {
    {RingAcknowledge}, {RingRemindTomorrow}, {RingRemindIn, "90", Minutes},
    {RingRemindIn, "999", Days}, {RingRemindIn, "-5", Hours}, {RingRemindIn, "abc", Hours},
    {RingRemindIn, "9999", Minutes}, // fills the field, no terminator
    {RingRemindIn, "2", Days | Hours | Minutes}, {RingRemindIn, "1", 0}, {-1},
    {RingRemindIn, "7", Days, true}, {RingAcknowledge, nullptr, 0, true},
};
// clang-format on

// The answer follows the reminder's first byte, so the fuzzer can steer it, and
// moves on at every ring; past 5000 rings the user only acknowledges, so that
// only a fault of the program can make a pass go on for ever.
struct CyclingRinger : IRinger {
    size_t Rings = 0;
    int RingAlarm(TAlarmCheckXfer& xfer, int32_t) override {
        VOBRIK_FUZZ_CHECK(Terminated(xfer.Message));
        const size_t pick =
            (static_cast<unsigned char>(xfer.Message[0]) + Rings) % std::size(Answers);
        return Answers[++Rings > 5000 ? 0 : pick].Give(xfer);
    }
};

using TRecord = std::tuple<int32_t, std::string, int, int32_t>;

// The table's records, sorted; with RECURRING, only those and without their due
// time, which is all a pass may change of them; with NOT_DUE_AT, only those.
std::vector<TRecord> Records(const TAlarmTable& table, bool recurring = false,
                             int32_t notDueAt = INT32_MIN) {
    std::vector<TRecord> records;
    std::vector<int32_t> ids;
    for (int i = 0; i < table.AlarmCount; ++i) {
        const TAlarm& a = *table.Alarms[i];
        VOBRIK_FUZZ_CHECK(Terminated(a.Message) && (i == 0 || table.Alarms[i - 1]->When <= a.When));
        ids.push_back(a.Id);
        if ((!recurring || a.Type != atOnce) && !(notDueAt > a.When))
            records.emplace_back(recurring ? 0 : a.When, a.Message, a.Type, a.EveryDays);
    }
    std::sort(ids.begin(), ids.end());
    VOBRIK_FUZZ_CHECK(std::adjacent_find(ids.begin(), ids.end()) == ids.end());
    std::sort(records.begin(), records.end());
    return records;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto& files = vobrik::fuzz::UnsyncedFiles();
    static const std::string path = vobrik::fuzz::ScratchPath("ALARMS.VBK");
    test::WriteBytes(path, {data, data + size});
    FakeList list, reloadedList;
    FakeMessages messages;
    FakeClock clock;
    clock.Time = vobrik::fuzz::Now;
    FakeTimer timer;
    FakeSound sound;
    CyclingRinger ringer;
    TAlarmTable table(list, messages, clock, files, path);

    VOBRIK_FUZZ_CHECK(table.LoadAlarms() == TLoadResult::Loaded);
    const size_t whole = size / AlarmRecordSize, max = TAlarmTable::MaxAlarms;
    const size_t overflow = whole > max ? whole - max : 0;
    VOBRIK_FUZZ_CHECK(static_cast<size_t>(table.AlarmCount) == whole - overflow);
    const TSummaryLists summary = BuildSummaryLines(table, clock.Time);
    VOBRIK_FUZZ_CHECK(CountLines(summary.Today.get()) + CountLines(summary.Tomorrow.get()) <=
                      table.AlarmCount);
    const auto recurring = Records(table, true);
    const auto notDue = Records(table, false, clock.Time);

    TAlarmChecker checker(table, timer, sound, ringer);
    checker.OnCheckTimer(false);
    checker.OnCheckTimer(false);
    table.DeleteSelectedAlarm(); // nothing selected: saves in any case

    VOBRIK_FUZZ_CHECK(Records(table, true) == recurring);
    const auto after = Records(table);
    VOBRIK_FUZZ_CHECK(std::includes(after.begin(), after.end(), notDue.begin(), notDue.end()));
    std::vector<unsigned char> saved;
    VOBRIK_FUZZ_CHECK(ReadWholeFile(files, path, saved) == TReadResult::Read);
    VOBRIK_FUZZ_CHECK(saved.size() == (table.AlarmCount + overflow) * AlarmRecordSize);
    if (overflow > 0)
        VOBRIK_FUZZ_CHECK(std::equal(saved.end() - overflow * AlarmRecordSize, saved.end(),
                                     data + max * AlarmRecordSize));

    // The next start loads the table, then as many of the records beyond it as fit.
    TAlarmTable reloaded(reloadedList, messages, clock, files, path);
    VOBRIK_FUZZ_CHECK(reloaded.LoadAlarms() == TLoadResult::Loaded);
    const auto again = Records(reloaded);
    VOBRIK_FUZZ_CHECK(std::includes(again.begin(), again.end(), after.begin(), after.end()));
    VOBRIK_FUZZ_CHECK(static_cast<size_t>(reloaded.AlarmCount) ==
                      std::min(max, table.AlarmCount + overflow));
    for (const auto& shown : messages.Log)
        VOBRIK_FUZZ_CHECK(shown != "File Write Error");
    // A file that is not whole records is kept aside, byte for byte.
    const auto aside = path + ".endommage-" + vobrik::fuzz::NowStamp;
    if (size % AlarmRecordSize != 0)
        VOBRIK_FUZZ_CHECK(test::ReadBytes(aside) == std::vector<unsigned char>(data, data + size));
    std::remove(aside.c_str());
    return 0;
}

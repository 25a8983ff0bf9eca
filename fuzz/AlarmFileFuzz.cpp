// Any bytes as ALARMS.VBK: the file is loaded, then two check passes run with a
// clock at a fixed moment and the ring dialogs answered from a cycle of answers,
// odd ones included. Both passes must end, nothing may be read or written out
// of bounds, and no reminder may be lost: records not yet due and recurring
// records come out of the passes, and the saved file holds the table and every
// record that did not fit into it. The day summary is built on the loaded table
// too, as it is at start-up.

#include "core/AlarmTable.h"
#include "core/CheckPass.h"
#include "summary/SummaryLines.h"

#include "FuzzSupport.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace vobrik;
using namespace vobrik::test;

using Answer = ScriptedRinger::Answer;
constexpr int Days = ScriptedRinger::Days, Hours = ScriptedRinger::Hours,
              Minutes = ScriptedRinger::Minutes, NoUnit = ScriptedRinger::NoUnit,
              AllUnits = Days | Hours | Minutes;

// Every kind of answer a user or a broken dialog can give.
const Answer Answers[] = {
    {RingRemindTomorrow},
    {RingAcknowledge},
    {RingRemindIn, "1", Hours},
    {RingRemindIn, "90", Minutes},
    {RingRemindIn, "999", Days},
    {RingRemindIn, "-99", Days},
    {RingAcknowledge},
    {RingRemindIn, "-5", Minutes},
    {RingRemindIn, "", Minutes},
    {RingRemindIn, "abc", Hours},
    {RingRemindIn, "9999", Minutes}, // fills the field, no terminator
    {RingRemindIn, " +7", Days},
    {RingAcknowledge},
    {RingRemindIn, "1", NoUnit},
    {RingRemindIn, "2", AllUnits},
    {0},
    {-1},
    {102, "5", Days},
    {RingRemindTomorrow, nullptr, 0, true},
    {RingAcknowledge, nullptr, 0, true},
    {RingRemindIn, "7", Days, true},
    {RingRemindIn, "-1", Minutes, true},
    {RingRemindIn, "\xff\x80", NoUnit, true},
};
constexpr size_t AnswerCount = sizeof Answers / sizeof Answers[0];

// Past this many dialogs the user only acknowledges, so that a pass can go on
// for ever only through a fault of the program, never through the script.
constexpr int PatientRings = 5000;

// The answer depends on the reminder's first byte, so the fuzzer can steer
// it, and moves on at every ring, so a reminder rung again gets another one.
class CyclingRinger : public IRinger {
  public:
    int Rings = 0;
    int RingAlarm(TAlarmCheckXfer& xfer) override {
        VOBRIK_FUZZ_CHECK(std::memchr(xfer.Message, '\0', sizeof xfer.Message) != nullptr);
        const size_t pick = (static_cast<unsigned char>(xfer.Message[0]) + Rings) % AnswerCount;
        return (++Rings > PatientRings ? Answers[1] : Answers[pick]).Give(xfer);
    }
};

using TRecord = std::tuple<int32_t, std::string, int, int32_t>;

TRecord Record(const TAlarm& alarm) {
    return {alarm.When, std::string(alarm.Message), alarm.Type, alarm.EveryDays};
}

enum TWhich { Every, RecurringOnes, NotYetDue };

// The records the table holds, sorted; recurring ones without their due time,
// which is all a pass may change of them.
std::vector<TRecord> Records(const TAlarmTable& table, TWhich which, int32_t now = 0) {
    std::vector<TRecord> records;
    for (int i = 0; i < table.AlarmCount; ++i) {
        const TAlarm& alarm = *table.Alarms[i];
        if ((which == RecurringOnes && alarm.Type == atOnce) ||
            (which == NotYetDue && now > alarm.When))
            continue;
        records.push_back(Record(alarm));
        if (which == RecurringOnes)
            std::get<0>(records.back()) = 0;
    }
    std::sort(records.begin(), records.end());
    return records;
}

void CheckTable(const TAlarmTable& table) {
    VOBRIK_FUZZ_CHECK(table.AlarmCount >= 0 && table.AlarmCount <= TAlarmTable::MaxAlarms);
    std::vector<int32_t> ids;
    for (int i = 0; i < table.AlarmCount; ++i) {
        VOBRIK_FUZZ_CHECK(table.Alarms[i] != nullptr);
        const TAlarm& alarm = *table.Alarms[i];
        VOBRIK_FUZZ_CHECK(std::memchr(alarm.Message, '\0', sizeof alarm.Message) != nullptr);
        VOBRIK_FUZZ_CHECK(i == 0 || table.Alarms[i - 1]->When <= alarm.When);
        ids.push_back(alarm.Id);
    }
    std::sort(ids.begin(), ids.end());
    VOBRIK_FUZZ_CHECK(std::adjacent_find(ids.begin(), ids.end()) == ids.end());
    VOBRIK_FUZZ_CHECK(std::find(ids.begin(), ids.end(), -1) == ids.end());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto& files = vobrik::fuzz::UnsyncedFiles();
    static const std::string path = vobrik::fuzz::ScratchPath("ALARMS.VBK");
    vobrik::fuzz::WriteScratchFile(path, data, size);

    FakeList list;
    FakeMessages messages;
    FakeClock clock;
    // 02:30 on the night the clocks go back in Paris: the hour that happens twice.
    clock.Time = 1792888200;
    FakeTimer timer;
    FakeSound sound;
    CyclingRinger ringer;
    TAlarmTable table(list, messages, clock, files, path);

    VOBRIK_FUZZ_CHECK(table.LoadAlarms() == TLoadResult::Loaded);
    const size_t whole = size / AlarmRecordSize;
    VOBRIK_FUZZ_CHECK(table.AlarmCount ==
                      static_cast<int32_t>(std::min<size_t>(whole, TAlarmTable::MaxAlarms)));
    CheckTable(table);
    // The day summary may open on the loaded table before any pass.
    const TSummaryLists summary = BuildSummaryLines(table, clock.Time);
    VOBRIK_FUZZ_CHECK(CountLines(summary.Today.get()) + CountLines(summary.Tomorrow.get()) <=
                      table.AlarmCount);
    const auto recurring = Records(table, RecurringOnes);
    const auto notYetDue = Records(table, NotYetDue, clock.Time);

    TAlarmChecker checker(table, timer, sound, ringer);
    checker.OnCheckTimer(false);
    checker.OnCheckTimer(false);

    CheckTable(table);
    VOBRIK_FUZZ_CHECK(Records(table, RecurringOnes) == recurring);
    const auto after = Records(table, Every);
    for (const auto& record : notYetDue)
        VOBRIK_FUZZ_CHECK(std::binary_search(after.begin(), after.end(), record));
    // A pass that ran saved the table; a tick with nothing due left the file
    // alone. A deletion with nothing selected saves in any case.
    const size_t overflow = whole > TAlarmTable::MaxAlarms ? whole - TAlarmTable::MaxAlarms : 0;
    std::vector<unsigned char> saved;
    VOBRIK_FUZZ_CHECK(ReadWholeFile(files, path, saved) == TReadResult::Read);
    const bool untouched = saved.size() == size && std::equal(saved.begin(), saved.end(), data);
    if (!untouched)
        VOBRIK_FUZZ_CHECK(saved.size() == (table.AlarmCount + overflow) * AlarmRecordSize);
    table.DeleteSelectedAlarm();
    VOBRIK_FUZZ_CHECK(Records(table, Every) == after);

    // The file holds the table, then every whole record beyond the first
    // hundred exactly as it was read.
    VOBRIK_FUZZ_CHECK(ReadWholeFile(files, path, saved) == TReadResult::Read);
    VOBRIK_FUZZ_CHECK(saved.size() == (table.AlarmCount + overflow) * AlarmRecordSize);
    if (overflow > 0)
        VOBRIK_FUZZ_CHECK(std::equal(saved.end() - overflow * AlarmRecordSize, saved.end(),
                                     data + TAlarmTable::MaxAlarms * AlarmRecordSize));

    // The next start loads what was saved: the table, then as many of the
    // records beyond it as there is room for.
    std::vector<TRecord> stored;
    for (size_t r = 0; r < saved.size() / AlarmRecordSize; ++r) {
        TAlarm alarm;
        DecodeAlarm(*reinterpret_cast<const unsigned char(*)[AlarmRecordSize]>(saved.data() +
                                                                               r * AlarmRecordSize),
                    alarm);
        stored.push_back(Record(alarm));
    }
    std::vector<TRecord> kept(stored.begin(), stored.begin() + table.AlarmCount);
    std::sort(kept.begin(), kept.end());
    VOBRIK_FUZZ_CHECK(kept == after);
    stored.resize(std::min<size_t>(stored.size(), TAlarmTable::MaxAlarms));
    std::sort(stored.begin(), stored.end());

    FakeList reloadedList;
    FakeMessages reloadedMessages;
    TAlarmTable reloaded(reloadedList, reloadedMessages, clock, files, path);
    VOBRIK_FUZZ_CHECK(reloaded.LoadAlarms() == TLoadResult::Loaded);
    VOBRIK_FUZZ_CHECK(Records(reloaded, Every) == stored);
    for (const auto& shown : messages.Log)
        VOBRIK_FUZZ_CHECK(shown != "File Write Error");
    return 0;
}

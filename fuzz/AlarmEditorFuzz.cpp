// Any bytes as what a user types into the reminder editor. The input is a
// record image (the reminder being edited), then one or more images of the
// editor's buffer, each confirmed with OK in turn, every byte of every field
// free, terminators included; after them the user cancels. The editor must end,
// show every field of a record terminated, keep the record's Id, store only a
// due time it can hold, and save exactly what the table holds.

#include "dialogs/EditAlarm.h"

#include "FuzzSupport.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

using namespace vobrik;
using namespace vobrik::test;

template <size_t N> bool Terminated(const char (&field)[N]) {
    return std::memchr(field, '\0', N) != nullptr;
}

bool ShowsTerminatedFields(const TAlarmEditXfer& xfer) {
    return Terminated(xfer.Message) && Terminated(xfer.Day) && Terminated(xfer.Month) &&
           Terminated(xfer.Year) && Terminated(xfer.Hour) && Terminated(xfer.Minute) &&
           Terminated(xfer.EveryDaysText);
}

class TypedDialog : public IAlarmEditDialog {
  public:
    const uint8_t* Typed = nullptr;
    size_t Runs = 0;
    bool Opened = false;
    int Execute(TAlarmEditXfer& xfer) override {
        // Later runs show what was typed, as it was typed.
        if (!Opened)
            VOBRIK_FUZZ_CHECK(ShowsTerminatedFields(xfer));
        Opened = true;
        if (Runs == 0)
            return IDCANCEL;
        --Runs;
        std::memcpy(&xfer, Typed, sizeof xfer);
        Typed += sizeof xfer;
        return IDOK;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < AlarmRecordSize)
        return 0;
    static const std::string path = vobrik::fuzz::ScratchPath("ALARMS.VBK");

    unsigned char image[AlarmRecordSize];
    std::memcpy(image, data, AlarmRecordSize);
    TAlarm original;
    DecodeAlarm(image, original);

    FakeList list;
    FakeMessages messages;
    FakeClock clock;
    clock.Time = 1792888200;
    FakeTimer timer;
    unsigned timerId = 1;
    TypedDialog dialog;
    dialog.Typed = data + AlarmRecordSize;
    dialog.Runs = (size - AlarmRecordSize) / sizeof(TAlarmEditXfer);
    const size_t typedRuns = dialog.Runs;
    static auto& files = vobrik::fuzz::UnsyncedFiles();
    TAlarmTable table(list, messages, clock, files, path);
    TAlarm* alarm = table.Append(original);
    const int32_t id = alarm->Id;
    original.Id = id;
    TAlarmEditor editor(table, timer, timerId, dialog);

    const bool accepted = editor.EditAlarm(0);

    VOBRIK_FUZZ_CHECK(!timer.Calls.empty() && timer.Calls.back() == "set 1 30000");
    VOBRIK_FUZZ_CHECK(table.AlarmCount == 1 && table.Alarms[0].get() == alarm);
    VOBRIK_FUZZ_CHECK(alarm->Id == id);
    VOBRIK_FUZZ_CHECK(Terminated(alarm->Message));
    if (!accepted) {
        // Every confirmation was refused for its date, or there was none.
        VOBRIK_FUZZ_CHECK(messages.Log.size() == typedRuns);
        unsigned char after[AlarmRecordSize];
        EncodeAlarm(*alarm, after);
        unsigned char before[AlarmRecordSize];
        EncodeAlarm(original, before);
        VOBRIK_FUZZ_CHECK(std::equal(after, after + AlarmRecordSize, before));
        return 0;
    }
    VOBRIK_FUZZ_CHECK(alarm->Type == original.Type ||
                      (alarm->Type >= atOnce && alarm->Type <= atEveryDays));

    // What was saved is the record as the table holds it.
    std::vector<unsigned char> saved;
    VOBRIK_FUZZ_CHECK(ReadWholeFile(files, path, saved) == TReadResult::Read);
    unsigned char expected[AlarmRecordSize];
    EncodeAlarm(*alarm, expected);
    VOBRIK_FUZZ_CHECK(saved.size() == AlarmRecordSize &&
                      std::equal(saved.begin(), saved.end(), expected));

    // The record opens again with every field shown whole.
    TAlarmEditXfer again;
    FillEditXfer(*alarm, again);
    VOBRIK_FUZZ_CHECK(ShowsTerminatedFields(again));
    return 0;
}

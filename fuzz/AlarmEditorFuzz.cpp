// Any bytes as what a user types into the reminder editor: a record image (the
// reminder being edited), then images of the editor's buffer, each confirmed
// with OK in turn, terminators included; after them the user cancels. The
// editor must end, show every field terminated, keep the record's Id, leave a
// refused record as it was, and save exactly what the table holds.

#include "dialogs/EditAlarm.h"

#include "FuzzSupport.h"

#include <algorithm>
#include <string>
#include <utility>

namespace {

using namespace vobrik;
using namespace vobrik::test;
using vobrik::fuzz::Terminated;

bool ShowsTerminatedFields(const TAlarmEditXfer& x) {
    return Terminated(x.Message) && Terminated(x.Day) && Terminated(x.Month) &&
           Terminated(x.Year) && Terminated(x.Hour) && Terminated(x.Minute) &&
           Terminated(x.EveryDaysText);
}

struct TypedDialog : IAlarmEditDialog {
    const uint8_t* Typed = nullptr;
    size_t Runs = 0;
    bool Opened = false;
    int Execute(TAlarmEditXfer& xfer) override {
        // Later runs show what was typed, as it was typed.
        if (!std::exchange(Opened, true))
            VOBRIK_FUZZ_CHECK(ShowsTerminatedFields(xfer));
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
    static auto& files = vobrik::fuzz::UnsyncedFiles();
    static const std::string path = vobrik::fuzz::ScratchPath("ALARMS.VBK");
    std::remove(path.c_str()); // a save reads a file it finds, as another program's
    TAlarm original;
    DecodeAlarm(*reinterpret_cast<const unsigned char(*)[AlarmRecordSize]>(data), original);
    FakeList list;
    FakeMessages messages;
    FakeClock clock;
    clock.Time = vobrik::fuzz::Now;
    FakeTimer timer;
    unsigned timerId = 1;
    TypedDialog dialog;
    dialog.Runs = (size - AlarmRecordSize) / sizeof(TAlarmEditXfer);
    const size_t typedRuns = dialog.Runs;
    TAlarmTable table(list, messages, clock, files, path);
    TAlarm* alarm = table.Append(original);
    original.Id = alarm->Id;
    dialog.Typed = data + AlarmRecordSize;
    TAlarmEditor editor(table, timer, timerId, dialog);

    const bool accepted = editor.EditAlarm(0);

    VOBRIK_FUZZ_CHECK(!timer.Calls.empty() && timer.Calls.back() == "set 1 30000");
    VOBRIK_FUZZ_CHECK(table.AlarmCount == 1 && table.Alarms[0].get() == alarm);
    VOBRIK_FUZZ_CHECK(alarm->Id == original.Id && Terminated(alarm->Message));
    if (!accepted) { // every confirmation refused for its date, or none
        VOBRIK_FUZZ_CHECK(messages.Log.size() == typedRuns &&
                          FileImage({*alarm}) == FileImage({original}));
        return 0;
    }
    VOBRIK_FUZZ_CHECK(alarm->Type == original.Type ||
                      (alarm->Type >= atOnce && alarm->Type <= atEveryDays));
    std::vector<unsigned char> saved;
    VOBRIK_FUZZ_CHECK(ReadWholeFile(files, path, saved) == TReadResult::Read);
    VOBRIK_FUZZ_CHECK(saved == FileImage({*alarm}));
    TAlarmEditXfer again;
    FillEditXfer(*alarm, again);
    VOBRIK_FUZZ_CHECK(ShowsTerminatedFields(again));
    return 0;
}

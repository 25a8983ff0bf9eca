// Saves a changing table again and again until it is killed. Generation g is
// g % 7 + 1 records, each with When = g and the message "gen <g> rec <i>", so
// the crash test can tell a whole image from anything else. It starts from the
// generation after the one it finds in the file.

#include "core/AlarmTable.h"

#include "Support.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    using namespace vobrik;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    test::FakeList list;
    test::FakeMessages messages;
    test::FakeClock clock;
    TAlarmTable table(list, messages, clock, SystemFileOps(), argv[1]);

    int32_t generation = 0;
    if (table.LoadAlarms() == TLoadResult::Loaded && table.AlarmCount > 0)
        generation = table.Alarms[0]->When + 1;

    for (;; ++generation) {
        while (table.AlarmCount > 0)
            table.RemoveByMovingLast(table.AlarmCount - 1);
        for (int i = 0; i < generation % 7 + 1; ++i) {
            TAlarm alarm;
            alarm.When = generation;
            SetAlarmMessage(
                alarm, ("gen " + std::to_string(generation) + " rec " + std::to_string(i)).c_str());
            alarm.Id = i + 1;
            table.Append(alarm);
        }
        if (!table.SaveAlarms())
            return 1;
    }
}

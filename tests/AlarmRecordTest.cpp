#include "core/Alarm.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace vobrik {
namespace {

using Image = unsigned char[AlarmRecordSize];

TEST(AlarmRecord, ImageHasEveryFieldLittleEndianAtItsOffset) {
    Image bytes = {};
    const unsigned char when[] = {0xF0, 0xC5, 0xA3, 0x41};
    std::memcpy(bytes + 0, when, 4);
    std::memcpy(bytes + 4, "R\xE9union", 7);
    bytes[204] = 9; // an unknown type is kept as it is
    const unsigned char every[] = {0xFE, 0xFF, 0xFF, 0xFF};
    std::memcpy(bytes + 205, every, 4);
    const unsigned char id[] = {0x04, 0x03, 0x02, 0x01};
    std::memcpy(bytes + 209, id, 4);

    TAlarm alarm;
    DecodeAlarm(bytes, alarm);
    EXPECT_EQ(0x41A3C5F0, alarm.When);
    EXPECT_STREQ("R\xE9union", alarm.Message);
    EXPECT_EQ(9, alarm.Type);
    EXPECT_EQ(-2, alarm.EveryDays);
    EXPECT_EQ(0x01020304, alarm.Id);

    Image again;
    std::memset(again, 0xAA, sizeof again);
    EncodeAlarm(alarm, again);
    EXPECT_EQ(0, std::memcmp(bytes, again, AlarmRecordSize));
}

TEST(AlarmRecord, MessageWithoutTerminatorIsCutAt199Characters) {
    Image bytes = {};
    std::memset(bytes + 4, 'x', AlarmMessageSize); // no zero anywhere in the field
    TAlarm alarm;
    DecodeAlarm(bytes, alarm);
    EXPECT_EQ(AlarmMessageSize - 1, std::strlen(alarm.Message));
}

TEST(AlarmRecord, SetMessageCutsLongTextAndClearsTheRest) {
    TAlarm alarm;
    std::memset(alarm.Message, 'z', sizeof alarm.Message);
    SetAlarmMessage(alarm, std::string(300, 'a').c_str());
    EXPECT_EQ(std::string(199, 'a'), alarm.Message);

    SetAlarmMessage(alarm, "ok");
    EXPECT_STREQ("ok", alarm.Message);
    for (size_t i = 2; i < AlarmMessageSize; ++i)
        ASSERT_EQ('\0', alarm.Message[i]) << "byte " << i;
}

} // namespace
} // namespace vobrik

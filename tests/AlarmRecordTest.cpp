#include "core/Alarm.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vobrik {
namespace {

using Image = unsigned char[AlarmRecordSize];

TEST(AlarmRecord, ImageMatchesHandBuiltBytes) {
    TAlarm alarm;
    alarm.When = 0x41A3C5F0;
    SetAlarmMessage(alarm, "R\xE9union");
    alarm.Type = atEveryDays;
    alarm.EveryDays = -2;
    alarm.Id = 0x01020304;

    Image expected = {};
    const unsigned char when[] = {0xF0, 0xC5, 0xA3, 0x41};
    std::memcpy(expected + 0, when, 4);
    std::memcpy(expected + 4, "R\xE9union", 7);
    expected[204] = 4;
    const unsigned char every[] = {0xFE, 0xFF, 0xFF, 0xFF};
    std::memcpy(expected + 205, every, 4);
    const unsigned char id[] = {0x04, 0x03, 0x02, 0x01};
    std::memcpy(expected + 209, id, 4);

    Image image;
    std::memset(image, 0xAA, sizeof image);
    EncodeAlarm(alarm, image);
    EXPECT_EQ(0, std::memcmp(expected, image, AlarmRecordSize));
}

TEST(AlarmRecord, DecodeReadsEveryFieldAtItsOffset) {
    Image image = {};
    image[0] = 0xFF; // When = -1
    image[1] = 0xFF;
    image[2] = 0xFF;
    image[3] = 0xFF;
    std::memcpy(image + 4, "abc", 3);
    image[204] = 9; // unknown types are kept as they are
    image[205] = 0x10;
    image[209] = 0x2A;

    TAlarm alarm;
    DecodeAlarm(image, alarm);
    EXPECT_EQ(-1, alarm.When);
    EXPECT_STREQ("abc", alarm.Message);
    EXPECT_EQ(9, alarm.Type);
    EXPECT_EQ(16, alarm.EveryDays);
    EXPECT_EQ(42, alarm.Id);

    Image again;
    EncodeAlarm(alarm, again);
    EXPECT_EQ(0, std::memcmp(image, again, AlarmRecordSize));
}

TEST(AlarmRecord, MessageWithoutTerminatorIsCutAt199Characters) {
    Image image = {};
    std::memset(image + 4, 'x', AlarmMessageSize); // no zero anywhere in the field
    image[204] = atOnce;
    TAlarm alarm;
    DecodeAlarm(image, alarm);
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

#include "core/Alarm.h"

#include <cstring>

namespace vobrik {

namespace {

void PutInt32(unsigned char* at, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    at[0] = static_cast<unsigned char>(v);
    at[1] = static_cast<unsigned char>(v >> 8);
    at[2] = static_cast<unsigned char>(v >> 16);
    at[3] = static_cast<unsigned char>(v >> 24);
}

int32_t GetInt32(const unsigned char* at) {
    const uint32_t v =
        uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
    return static_cast<int32_t>(v);
}

constexpr size_t WhenOffset = 0;
constexpr size_t MessageOffset = 4;
constexpr size_t TypeOffset = 204;
constexpr size_t EveryDaysOffset = 205;
constexpr size_t IdOffset = 209;

} // namespace

void EncodeAlarm(const TAlarm& alarm, unsigned char (&image)[AlarmRecordSize]) {
    PutInt32(image + WhenOffset, alarm.When);
    std::memcpy(image + MessageOffset, alarm.Message, AlarmMessageSize);
    image[TypeOffset] = alarm.Type;
    PutInt32(image + EveryDaysOffset, alarm.EveryDays);
    PutInt32(image + IdOffset, alarm.Id);
}

void DecodeAlarm(const unsigned char (&image)[AlarmRecordSize], TAlarm& alarm) {
    alarm.When = GetInt32(image + WhenOffset);
    std::memcpy(alarm.Message, image + MessageOffset, AlarmMessageSize);
    alarm.Message[AlarmMessageSize - 1] = '\0';
    alarm.Type = image[TypeOffset];
    alarm.EveryDays = GetInt32(image + EveryDaysOffset);
    alarm.Id = GetInt32(image + IdOffset);
}

void SetAlarmMessage(TAlarm& alarm, const char* text) {
    std::memset(alarm.Message, 0, AlarmMessageSize);
    std::memcpy(alarm.Message, text, strnlen(text, AlarmMessageSize - 1));
}

void ContentImage(const TAlarm& alarm, unsigned char (&image)[AlarmRecordSize]) {
    TAlarm content = alarm;
    content.Id = 0;
    std::memset(content.Message, 0, AlarmMessageSize);
    std::memcpy(content.Message, alarm.Message, strnlen(alarm.Message, AlarmMessageSize - 1));
    EncodeAlarm(content, image);
}

uint64_t ContentHash(const TAlarm& alarm) {
    unsigned char image[AlarmRecordSize];
    ContentImage(alarm, image);
    uint64_t hash = 14695981039346656037ULL;
    for (const unsigned char byte : image) {
        hash ^= byte;
        hash *= 1099511628211ULL;
    }
    return hash;
}

} // namespace vobrik

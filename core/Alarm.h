#pragma once

#include <cstddef>
#include <cstdint>

namespace vobrik {

enum TAlarmType : uint8_t {
    atOnce = 1,
    atMonthly = 2,
    atYearly = 3,
    atEveryDays = 4,
};

constexpr size_t AlarmMessageSize = 200; // 199 characters and the terminating zero
constexpr size_t AlarmRecordSize = 213;

// One reminder. In memory it is an ordinary struct; the 213-byte file image is
// produced by EncodeAlarm/DecodeAlarm so that the file is the same on any machine.
struct TAlarm {
    int32_t When = 0;
    char Message[AlarmMessageSize] = {};
    uint8_t Type = atOnce;
    int32_t EveryDays = 0;
    int32_t Id = 0;
};

// Image layout: When at 0, Message at 4, Type at 204, EveryDays at 205, Id at 209,
// integers little-endian, no padding.
void EncodeAlarm(const TAlarm& alarm, unsigned char (&image)[AlarmRecordSize]);

// The decoded Message always ends in a zero within its 200 bytes, even when the
// stored one does not, so no reader can run past it.
void DecodeAlarm(const unsigned char (&image)[AlarmRecordSize], TAlarm& alarm);

// The record's image as it would be stored, without what is not its content:
// the Id the table gives anew at every start and the bytes after the message.
// Two records with the same content have the same one.
void ContentImage(const TAlarm& alarm, unsigned char (&image)[AlarmRecordSize]);

// A fingerprint of the content (FNV-1a over ContentImage): the export's UID and
// the key that names a reminder on the command line.
uint64_t ContentHash(const TAlarm& alarm);

// Copies text into the Message field, cut at 199 bytes, zero-filled after the end.
void SetAlarmMessage(TAlarm& alarm, const char* text);

} // namespace vobrik

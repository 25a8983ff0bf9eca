#pragma once

// How the reminders read on the terminal, in a script and in the tray's tip.

#include "core/AlarmTable.h"

#include <string>

namespace vobrik {

// What names a reminder on the command line: the start of its content's
// fingerprint (and of its exported UID), the same in every process and at
// every start while the reminder is unchanged.
std::string ReminderKey(const TAlarm& alarm);

enum class TListForm { Text, Tsv, Json };

// Every reminder, earliest first, headed by the file's name in text form;
// UTF-8.
std::string ListText(const TAlarmTable& table, const std::string& file, TListForm form);

// The earliest reminder, or null.
const TAlarm* NextAlarm(const TAlarmTable& table);
// "mardi 5 janvier 2027 à 10:00 — Dentiste", or one JSON object; UTF-8.
std::string NextText(const TAlarm& alarm, bool json);

// The tray icon's tip: the program's name and the next reminder; Windows-1252.
std::string TrayTipText(const TAlarmTable& table);

} // namespace vobrik

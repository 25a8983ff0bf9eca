#pragma once

#include "core/FileOps.h"
#include "core/Services.h"
#include "summary/ResWin.h"

#include <cstdint>
#include <string>

namespace vobrik {

constexpr const char* SettingsFileName = "VOBRIK.INI";

// The start-up choices and the day-summary popup's place, as the main dialog
// holds them. The constructor's values are the defaults.
struct TSettings {
    bool StartHidden = false;
    bool ShowSummary = true;
    int32_t PosX = SummaryDefaultPlace.X;
    int32_t PosY = SummaryDefaultPlace.Y;
    int32_t PosH = SummaryDefaultPlace.H;
    int32_t PosW = SummaryDefaultPlace.W;
    bool Notify = true; // rings shown by the desktop's notifications too; NOTIFY=0 turns it off
};

// Reads the settings file over the values given. A missing file is not an
// error and changes nothing. False only when the file exists but cannot be
// read; the user has then been told.
bool LoadSettings(TSettings& settings, IMessages& messages, IFileOps& files = SystemFileOps(),
                  const std::string& fileName = SettingsFileName);

// Replaces the settings file with the six lines. On failure the user is told
// and the old file is left as it was.
bool SaveSettings(const TSettings& settings, IMessages& messages, IFileOps& files = SystemFileOps(),
                  const std::string& fileName = SettingsFileName);

// The six lines, CR LF ended, as they are written to the file, and NOTIFY=0
// when notifications are off.
std::string FormatSettings(const TSettings& settings);

} // namespace vobrik

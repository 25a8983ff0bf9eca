#include "app/Settings.h"

#include "platform/Text1252.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace vobrik {

namespace {

constexpr const char* ErrorCaption = "Error";
constexpr const char* FileAccessError = "File Access Error";

// A line is read in pieces of at most this many characters, each piece taken
// as a line of its own, as a 100-byte line buffer would give them.
constexpr size_t PieceLength = 99;

// atol's reading: leading white space, an optional sign, then digits up to the
// first other character; 0 without digits. Values beyond 32 bits are held at
// the nearest end instead of wrapping to an unrelated position.
int32_t ReadNumber(const std::string& value) {
    errno = 0;
    const long long n = std::strtoll(value.c_str(), nullptr, 10);
    if (n > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (n < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(n);
}

void ApplyLine(TSettings& settings, std::string line) {
    // Bytes after a zero are invisible to the string functions the reader uses.
    line.resize(std::strlen(line.c_str()));
    const auto equals = line.find('=');
    if (equals == std::string::npos)
        return;
    const std::string key = UpperCaseAscii(line.substr(0, equals));
    const std::string value = line.substr(equals + 1);
    const bool one = !value.empty() && value[0] == '1';
    if (key == "HIDE")
        settings.StartHidden = one;
    else if (key == "RESUME")
        settings.ShowSummary = one;
    else if (key == "POSX")
        settings.PosX = ReadNumber(value);
    else if (key == "POSY")
        settings.PosY = ReadNumber(value);
    else if (key == "POSH")
        settings.PosH = ReadNumber(value);
    else if (key == "POSW")
        settings.PosW = ReadNumber(value);
    else if (key == "NOTIFY")
        settings.Notify = value.empty() || value[0] != '0';
}

} // namespace

bool LoadSettings(TSettings& settings, IMessages& messages, IFileOps& files,
                  const std::string& fileName) {
    std::vector<unsigned char> contents;
    switch (ReadWholeFile(files, fileName, contents)) {
    case TReadResult::NoFile:
        return true;
    case TReadResult::Failed:
        messages.MessageBox(FileAccessError, ErrorCaption, MB_OK);
        return false;
    case TReadResult::Read:
        break;
    }

    // The file is text: a CR LF line end reads as a bare LF.
    std::string text;
    text.reserve(contents.size());
    for (size_t i = 0; i < contents.size(); ++i) {
        if (contents[i] == '\r' && i + 1 < contents.size() && contents[i + 1] == '\n')
            continue;
        text.push_back(static_cast<char>(contents[i]));
    }

    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        end = std::min(end, at + PieceLength);
        ApplyLine(settings, text.substr(at, end - at));
        at = end;
    }
    return true;
}

std::string FormatSettings(const TSettings& settings) {
    std::string text;
    text += settings.StartHidden ? "HIDE=1\r\n" : "HIDE=0\r\n";
    text += settings.ShowSummary ? "RESUME=1\r\n" : "RESUME=0\r\n";
    text += "POSX=" + std::to_string(settings.PosX) + "\r\n";
    text += "POSY=" + std::to_string(settings.PosY) + "\r\n";
    text += "POSH=" + std::to_string(settings.PosH) + "\r\n";
    text += "POSW=" + std::to_string(settings.PosW) + "\r\n";
    if (!settings.Notify)
        text += "NOTIFY=0\r\n";
    return text;
}

bool SaveSettings(const TSettings& settings, IMessages& messages, IFileOps& files,
                  const std::string& fileName) {
    const std::string text = FormatSettings(settings);
    if (!SaveFileAtomically(files, fileName, text.data(), text.size())) {
        messages.MessageBox(FileAccessError, ErrorCaption, MB_OK);
        return false;
    }
    return true;
}

} // namespace vobrik

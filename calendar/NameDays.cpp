#include "calendar/NameDays.h"

#include "core/LocalTime.h"
#include "platform/SearchPath.h"
#include "platform/Text1252.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vobrik {

namespace {

constexpr size_t PathSize = 300;
constexpr int LineSize = 200;

// fgets as a text-mode stream would do it on the file: a CR LF line end reads
// as LF, also when the CR is the last byte that fits into the buffer.
char* ReadTextLine(char* line, std::FILE* file) {
    if (std::fgets(line, LineSize, file) == nullptr)
        return nullptr;
    const size_t length = std::strlen(line);
    if (length == LineSize - 1 && line[length - 1] == '\r') {
        const int next = std::getc(file);
        if (next == '\n')
            line[length - 1] = '\n';
        else if (next != EOF)
            std::ungetc(next, file);
    }
    return line;
}

void StripLineEnd(char* line) {
    size_t length = std::strlen(line);
    // A lone LF is left alone: such a line holds no ";" and is skipped anyway.
    if (length <= 1 || line[length - 1] != '\n')
        return;
    line[--length] = '\0';
    if (length > 0 && line[length - 1] == '\r')
        line[length - 1] = '\0';
}

} // namespace

void LookupNameDays(IMessages& owner, int32_t when, char* out, size_t capacity) {
    char path[PathSize];
    const bool found = SearchPath("FETES.TXT", path, sizeof path);
    LookupNameDaysIn(owner, when, out, capacity, found ? path : nullptr);
}

void LookupNameDaysIn(IMessages& owner, int32_t when, char* out, size_t capacity,
                      const char* path) {
    const std::tm local = ToLocal(when);
    char key[24];
    std::snprintf(key, sizeof key, "%02d/%02d", local.tm_mday, local.tm_mon + 1);
    out[0] = '\0';

    if (path != nullptr) {
        std::FILE* file = std::fopen(path, "r");
        if (file == nullptr) {
            owner.MessageBox("File Access Error", "Error", MB_OK);
            return;
        }
        char line[LineSize];
        size_t used = 0;
        while (ReadTextLine(line, file) != nullptr) {
            StripLineEnd(line);
            char* semicolon = std::strchr(line, ';');
            if (semicolon == nullptr)
                continue;
            *semicolon = '\0';
            if (std::strcmp(line, key) != 0)
                continue;
            const char* text = semicolon + 1;
            const size_t length = std::strlen(text);
            if (length + used < capacity) {
                std::memcpy(out + used, text, length + 1);
                used += length;
            }
        }
        std::fclose(file);
    }

    // A day without an entry reads the same as a missing file: the reader has
    // nothing to tell the two apart by, and an empty heading looks broken.
    if (out[0] == '\0') {
        const std::string text = Windows1252FromUtf8(NameDaysNotFound);
        const size_t length = std::min(capacity, text.size());
        std::memcpy(out, text.data(), length);
        out[length] = '\0';
    }
}

} // namespace vobrik

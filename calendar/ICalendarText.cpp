// Calendar files as other programs write them: any of the usual encodings,
// lines folded or broken, read line by line so that a damaged line costs only
// the event it is in and a refusal can say where.

#include "calendar/ICalendarParts.h"

#include "platform/Text1252.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace vobrik {

namespace {

constexpr const char* BinaryText =
    "Ce fichier n'est pas un calendrier iCalendar : il contient des données binaires";
constexpr const char* NoCalendarText =
    "Ce fichier ne contient aucun calendrier iCalendar (BEGIN:VCALENDAR).";

bool StartsWith(std::string_view text, std::string_view head) {
    return text.substr(0, head.size()) == head;
}

std::optional<std::string> FromUtf16(std::string_view bytes, const char* order) {
    bool whole = false;
    std::string text = Recoded(bytes, "UTF-8", order, &whole);
    return whole ? std::optional<std::string>(std::move(text)) : std::nullopt;
}

// The text without its byte-order mark, UTF-16 made UTF-8; nullopt for UTF-16
// that does not convert.
std::optional<std::string> Utf8Text(std::string_view bytes) {
    // Notepad and .NET write UTF-16 with its mark; some tools without it,
    // which shows in the zero half of the first letter.
    if (StartsWith(bytes, "\xFF\xFE"))
        return FromUtf16(bytes.substr(2), "UTF-16LE");
    if (StartsWith(bytes, "\xFE\xFF"))
        return FromUtf16(bytes.substr(2), "UTF-16BE");
    if (bytes.size() >= 2 && bytes[0] != '\0' && bytes[1] == '\0')
        return FromUtf16(bytes, "UTF-16LE");
    if (bytes.size() >= 2 && bytes[0] == '\0' && bytes[1] != '\0')
        return FromUtf16(bytes, "UTF-16BE");
    if (StartsWith(bytes, "\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    return std::string(bytes);
}

int LineOf(std::string_view text, size_t at) {
    int line = 1;
    for (size_t i = 0; i < at && i < text.size(); ++i)
        line += text[i] == '\n' ? 1 : 0;
    return line;
}

struct TLine {
    std::string Text;
    int Number;
};

// Content lines with their folds undone, each with the number of its first line.
std::vector<TLine> Unfolded(std::string_view text) {
    // Old Macintosh files end their lines with CR alone.
    std::string crOnly;
    if (text.find('\n') == std::string_view::npos && text.find('\r') != std::string_view::npos) {
        crOnly.assign(text);
        std::replace(crOnly.begin(), crOnly.end(), '\r', '\n');
        text = crOnly;
    }
    std::vector<TLine> lines;
    int number = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        while (!line.empty() && line.back() == '\r') // CR LF, or a stray CR before it
            line.remove_suffix(1);
        if (!line.empty() && (line[0] == ' ' || line[0] == '\t') && !lines.empty())
            lines.back().Text.append(line.substr(1));
        else
            lines.push_back({std::string(line), number});
    }
    // Latin-1 as older converters write it is Windows-1252's near twin. Read
    // once unfolded: a fold may cut a UTF-8 character in two.
    for (TLine& line : lines)
        if (!IsUtf8(line.Text))
            line.Text = Utf8FromWindows1252(line.Text);
    return lines;
}

bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// NAME *(;PARAM) ":" VALUE, the colon outside quoted parameter values.
bool IsContentLine(const std::string& line) {
    size_t i = 0;
    while (i < line.size() && IsNameChar(line[i]))
        ++i;
    if (i == 0 || i == line.size() || (line[i] != ';' && line[i] != ':'))
        return false;
    bool quoted = false;
    for (; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted)
            return true;
    }
    return false;
}

std::string Upper(std::string_view text) {
    return UpperCaseAscii(text);
}

// A block name as a message shows it: no control character, not too long.
std::string Shown(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return text.size() > 40 ? text.substr(0, 40) + "…" : text;
}

std::string AtLine(int number) {
    return " (ligne " + std::to_string(number) + ")";
}

// libical prints some parser warnings on stderr whatever it is told; the
// reasons the user needs are said by the import itself.
class TQuietStderr {
  public:
    TQuietStderr() {
        std::fflush(stderr);
        Saved = dup(STDERR_FILENO);
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (Saved >= 0 && null >= 0)
            dup2(null, STDERR_FILENO);
        if (null >= 0)
            close(null);
    }
    ~TQuietStderr() {
        if (Saved >= 0) {
            dup2(Saved, STDERR_FILENO);
            close(Saved);
        }
    }
    TQuietStderr(const TQuietStderr&) = delete;
    TQuietStderr& operator=(const TQuietStderr&) = delete;

  private:
    int Saved = -1;
};

struct TBlock {
    std::string Name;
    int Line;
};

// Feeds the lines to libical, checking that blocks close in order.
void Parse(const std::vector<TLine>& lines, TCalendarText& out) {
    TQuietStderr quiet;
    TParser parser(icalparser_new());
    std::vector<TBlock> open;
    for (const TLine& line : lines) {
        if (line.Text.find_first_not_of(" \t") == std::string::npos)
            continue;
        const bool inEvent = open.size() >= 2 && open[0].Name == "VCALENDAR" &&
                             (open[1].Name == "VEVENT" || open[1].Name == "VTODO");
        if (!IsContentLine(line.Text)) {
            if (inEvent && out.BadLines.back() == 0)
                out.BadLines.back() = line.Number;
            continue;
        }
        const std::string head = Upper(line.Text.substr(0, 6));
        std::string value = Upper(line.Text.substr(line.Text.find(':') + 1));
        value.erase(value.find_last_not_of(" \t") + 1);
        if (StartsWith(head, "BEGIN:")) {
            if (open.size() == 1 && open[0].Name == "VCALENDAR" &&
                (value == "VEVENT" || value == "VTODO"))
                out.BadLines.push_back(0);
            open.push_back({value, line.Number});
        } else if (StartsWith(head, "END:")) {
            if (open.empty() || open.back().Name != value) {
                out.Error =
                    "Ce fichier iCalendar est endommagé : END:" + Shown(value) +
                    (open.empty() ? " sans BEGIN"
                                  : " ferme le bloc BEGIN:" + open.back().Name + " ouvert ligne " +
                                        std::to_string(open.back().Line)) +
                    AtLine(line.Number) + ".";
                return;
            }
            open.pop_back();
        } else if (open.empty()) {
            continue; // text around the calendars
        }
        std::string text = line.Text;
        if (StartsWith(head, "BEGIN:") || StartsWith(head, "END:"))
            text = head.substr(0, head.find(':') + 1) + value;
        TComponent done(icalparser_add_line(parser.get(), text.data()));
        if (done && icalcomponent_isa(done.get()) == ICAL_VCALENDAR_COMPONENT)
            out.Calendars.push_back(std::move(done));
    }
    if (!open.empty())
        out.Error = "Ce fichier iCalendar est incomplet : le bloc BEGIN:" + open.back().Name +
                    " de la ligne " + std::to_string(open.back().Line) + " n'a pas de END.";
    else if (out.Calendars.empty())
        out.Error = NoCalendarText;
    // What is still open had no END; the parser keeps and frees it.
    icalparser_clean(parser.get());
}

} // namespace

TCalendarText ReadCalendarText(std::string_view bytes) {
    TCalendarText out;
    const std::optional<std::string> text = Utf8Text(bytes);
    if (!text) {
        out.Error = BinaryText + std::string(" (UTF-16 illisible).");
    } else if (const size_t zero = text->find('\0'); zero != std::string::npos) {
        out.Error = BinaryText + AtLine(LineOf(*text, zero)) + ".";
    } else {
        Parse(Unfolded(*text), out);
    }
    if (!out.Error.empty()) {
        out.Calendars.clear();
        out.BadLines.clear();
    }
    return out;
}

} // namespace vobrik

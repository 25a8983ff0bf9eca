#include "platform/Text1252.h"

#include <utf8proc.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <iconv.h>

namespace vobrik {

namespace {

// 0x80 to 0x9F. The five bytes Windows-1252 leaves undefined keep the C1
// control of the same number, as Windows itself maps them, so every byte
// survives a round trip.
constexpr char16_t High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t CodePointOf(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? High[byte - 0x80] : byte;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The typographic spaces and hyphens of French text that Windows-1252 has no
// place for, and their nearest character in it. The narrow no-break space
// keeps its "no break" (0xA0); the thin space is an ordinary space.
char32_t NearestInCodePage(char32_t c) {
    switch (c) {
    case 0x202F: // narrow no-break space, before ; : ! ? and inside guillemets
    case 0x2007: // figure space
        return 0xA0;
    case 0x2009: // thin space
        return ' ';
    case 0x2010: // hyphen
    case 0x2011: // non-breaking hyphen
        return '-';
    default:
        return c;
    }
}

// -1 for a character Windows-1252 cannot hold.
int ByteOf(char32_t c) {
    c = NearestInCodePage(c);
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<int>(c);
    for (int i = 0; i < 32; ++i)
        if (High[i] == c)
            return 0x80 + i;
    return -1;
}

// Valid UTF-8: each byte that starts no valid sequence becomes U+FFFD, which
// then becomes a '?' of its own.
std::string Sanitised(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    const auto size = static_cast<utf8proc_ssize_t>(text.size());
    for (utf8proc_ssize_t at = 0; at < size;) {
        utf8proc_int32_t c = 0;
        const utf8proc_ssize_t length = utf8proc_iterate(bytes + at, size - at, &c);
        if (length <= 0) {
            out += "\xEF\xBF\xBD";
            ++at;
            continue;
        }
        out.append(text.substr(static_cast<size_t>(at), static_cast<size_t>(length)));
        at += length;
    }
    return out;
}

// The composed form: a letter typed with a separate accent is one character.
std::string Composed(const std::string& text) {
    utf8proc_uint8_t* composed = nullptr;
    const utf8proc_ssize_t length =
        utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                     static_cast<utf8proc_ssize_t>(text.size()), &composed,
                     static_cast<utf8proc_option_t>(UTF8PROC_COMPOSE | UTF8PROC_STABLE));
    if (length < 0)
        return text;
    std::string out(reinterpret_cast<const char*>(composed), static_cast<size_t>(length));
    std::free(composed);
    return out;
}

// Appends one grapheme cluster: its bytes when Windows-1252 holds all of its
// characters, else a single '?' for what the user saw as one character.
void AppendCluster(std::string& out, const std::u32string& cluster) {
    std::string bytes;
    for (const char32_t c : cluster) {
        const int byte = ByteOf(c);
        if (byte < 0) {
            out.push_back('?');
            return;
        }
        bytes.push_back(static_cast<char>(byte));
    }
    out += bytes;
}

} // namespace

bool IsUtf8(std::string_view text) {
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    const auto size = static_cast<utf8proc_ssize_t>(text.size());
    for (utf8proc_ssize_t at = 0; at < size;) {
        utf8proc_int32_t c = 0;
        const utf8proc_ssize_t length = utf8proc_iterate(bytes + at, size - at, &c);
        if (length <= 0)
            return false;
        at += length;
    }
    return true;
}

std::string Recoded(std::string_view text, const char* to, const char* from, bool* whole) {
    if (whole != nullptr)
        *whole = true;
    const iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        if (whole != nullptr)
            *whole = false;
        return std::string(text);
    }
    std::string out;
    char* in = const_cast<char*>(text.data());
    size_t left = text.size();
    while (left > 0) {
        char buffer[256];
        char* put = buffer;
        size_t room = sizeof buffer;
        const size_t done = iconv(converter, &in, &left, &put, &room);
        out.append(buffer, put);
        if (done == static_cast<size_t>(-1) && errno != E2BIG) {
            out += '?';
            ++in;
            --left;
            if (whole != nullptr)
                *whole = false;
        }
    }
    iconv_close(converter);
    return out;
}

std::string Utf8FromWindows1252(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (const char byte : text)
        AppendUtf8(out, CodePointOf(static_cast<unsigned char>(byte)));
    return out;
}

namespace {

// Calls each(cluster, utf8 of the cluster) for each grapheme cluster of valid,
// composed UTF-8.
template <typename Each> void ForEachCluster(const std::string& text, Each each) {
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    const auto size = static_cast<utf8proc_ssize_t>(text.size());
    std::u32string cluster;
    utf8proc_ssize_t begin = 0;
    utf8proc_int32_t state = 0;
    for (utf8proc_ssize_t at = 0; at < size;) {
        utf8proc_int32_t c = 0;
        const utf8proc_ssize_t length = utf8proc_iterate(bytes + at, size - at, &c);
        if (!cluster.empty() && utf8proc_grapheme_break_stateful(
                                    static_cast<utf8proc_int32_t>(cluster.back()), c, &state)) {
            each(cluster, std::string_view(text).substr(begin, at - begin));
            cluster.clear();
            begin = at;
        }
        cluster.push_back(static_cast<char32_t>(c));
        at += length;
    }
    if (!cluster.empty())
        each(cluster, std::string_view(text).substr(begin));
}

} // namespace

std::string Windows1252FromUtf8(std::string_view text) {
    const std::string composed = Composed(Sanitised(text));
    std::string out;
    out.reserve(composed.size());
    ForEachCluster(composed, [&out](const std::u32string& cluster, std::string_view) {
        AppendCluster(out, cluster);
    });
    return out;
}

std::string LastGrapheme(std::string_view utf8) {
    std::string last;
    ForEachCluster(Composed(Sanitised(utf8)),
                   [&last](const std::u32string&, std::string_view bytes) { last = bytes; });
    return last;
}

size_t CharacterCount(std::string_view utf8) {
    size_t count = 0;
    for (const char c : utf8)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

std::string UpperCaseAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

} // namespace vobrik

// Any bytes as FETES.TXT: several days are looked up with several capacities,
// each into a buffer of exactly the size the lookup asks for, so that a byte
// written past it is caught. Every lookup must end and give either texts of the
// day shorter than the capacity or the not-found text cut to the capacity.
// Then the day summary paints those names in windows of several widths, down
// to none: every name line drawn must fit, or be a single character.

#include "calendar/NameDays.h"
#include "summary/ResWin.h"

#include "FuzzSupport.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace {

using namespace vobrik;

struct TLookup {
    int32_t When;
    size_t Capacity;
};

// Noon, local time in Paris: 5 January 2003, 29 February 2024, 31 December
// 2003, 1 January 2030 and 14 July 2026.
const TLookup Lookups[] = {
    {1041764400, 199}, {1709204400, 27}, {1072868400, 28},
    {1893495600, 1},   {1784023200, 0},  {1784023200, 500},
};

const int32_t ClientWidths[] = {398, 120, 11, 1, 0, -40};

void PaintSummary(const std::string& path, int32_t width) {
    vobrik::test::FakeSummaryOwner owner;
    vobrik::test::FakeResWinShell shell;
    shell.FrameWidth = shell.FrameHeight = 0;
    TResWin win(&owner);
    win.Attr.W = width;
    win.NameDays = [&path](IMessages& box, int32_t when, char* out, size_t capacity) {
        LookupNameDaysIn(box, when, out, capacity, path.c_str());
    };
    win.SetupWindow(shell);
    vobrik::test::TextDC dc;
    dc.OwnWidth[static_cast<unsigned char>('W')] = 500;
    dc.OwnWidth[static_cast<unsigned char>('i')] = 1;
    win.Paint(dc, Lookups[0].When);

    for (const auto& drawn : dc.Texts) {
        if (drawn.FontHeight != 15) // the names' font
            continue;
        int32_t drawnWidth = 0;
        for (unsigned char c : drawn.Text)
            drawnWidth += dc.GetCharWidth(c);
        VOBRIK_FUZZ_CHECK(drawnWidth < width || drawn.Text.size() == 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = vobrik::fuzz::ScratchPath("FETES.TXT");
    vobrik::fuzz::WriteScratchFile(path, data, size);

    for (const TLookup& lookup : Lookups) {
        const size_t bytes = std::max(lookup.Capacity + 1, sizeof NameDaysNotFound);
        const auto out = std::make_unique<char[]>(bytes);
        std::memset(out.get(), 0x5A, bytes);
        vobrik::test::FakeMessages messages;
        LookupNameDaysIn(messages, lookup.When, out.get(), lookup.Capacity, path.c_str());

        VOBRIK_FUZZ_CHECK(messages.Log.empty());
        const size_t length = strnlen(out.get(), bytes);
        VOBRIK_FUZZ_CHECK(length < bytes);
        const size_t notFound = std::min(lookup.Capacity, sizeof NameDaysNotFound - 1);
        const bool isNotFound =
            length == notFound && std::memcmp(out.get(), NameDaysNotFound, notFound) == 0;
        VOBRIK_FUZZ_CHECK(isNotFound || length < lookup.Capacity);
        // Nothing goes past out[capacity].
        for (size_t i = lookup.Capacity + 1; i < bytes; ++i)
            VOBRIK_FUZZ_CHECK(out[i] == 0x5A);
        // A file without a single ';' has nothing for any day.
        if (size == 0 || std::memchr(data, ';', size) == nullptr)
            VOBRIK_FUZZ_CHECK(isNotFound);
    }
    for (int32_t width : ClientWidths)
        PaintSummary(path, width);
    return 0;
}

// Any bytes as FETES.TXT: several days are looked up with several capacities,
// each into a buffer of exactly the size the lookup asks for, so that a byte
// written past it is caught. Every lookup must give either texts of the day
// shorter than the capacity or the not-found text cut to the capacity. Then
// the day summary paints the names in windows of several widths, down to none:
// every name line drawn must fit, or be a single character.

#include "calendar/NameDays.h"
#include "platform/Text1252.h"
#include "summary/ResWin.h"

#include "platform/RecordingDC.h"

#include "FuzzSupport.h"

#include <algorithm>
#include <memory>
#include <string>

namespace {

using namespace vobrik;

// Noon in Paris: 5 January 2003, 29 February 2024, 1 January 2030, 14 July 2026.
const std::pair<int32_t, size_t> Lookups[] = {
    {1041764400, 199}, {1709204400, 27}, {1893495600, 1}, {1784023200, 0}, {1784023200, 500},
};

void PaintSummary(const std::string& path, int32_t width) {
    test::FakeSummaryOwner owner;
    test::FakeResWinShell shell;
    shell.FrameWidth = shell.FrameHeight = 0;
    TResWin win(&owner);
    win.Attr.W = width;
    win.NameDays = [&path](IMessages& box, int32_t when, char* out, size_t capacity) {
        LookupNameDaysIn(box, when, out, capacity, path.c_str());
    };
    win.SetupWindow(shell);
    TRecordingDC dc;
    dc.OwnWidth[size_t{'W'}] = 500;
    dc.OwnWidth[size_t{'i'}] = 1;
    win.Paint(dc, Lookups[0].first);
    for (const auto& drawn : dc.Texts) {
        int32_t drawnWidth = 0;
        for (unsigned char c : drawn.Text)
            drawnWidth += dc.GetCharWidth(c);
        VOBRIK_FUZZ_CHECK(drawn.FontHeight != 15 || drawnWidth < width || drawn.Text.size() == 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = vobrik::fuzz::ScratchPath("FETES.TXT");
    test::WriteBytes(path, {data, data + size});
    for (const auto& [when, capacity] : Lookups) {
        const size_t bytes = std::max(capacity + 1, sizeof NameDaysNotFound);
        const auto out = std::make_unique<char[]>(bytes);
        std::memset(out.get(), 0x5A, bytes);
        test::FakeMessages messages;
        LookupNameDaysIn(messages, when, out.get(), capacity, path.c_str());
        VOBRIK_FUZZ_CHECK(messages.Log.empty());
        const size_t length = strnlen(out.get(), bytes);
        static const std::string notFoundText = Windows1252FromUtf8(NameDaysNotFound);
        const size_t notFound = std::min(capacity, notFoundText.size());
        const bool isNotFound =
            length == notFound && std::memcmp(out.get(), notFoundText.data(), notFound) == 0;
        VOBRIK_FUZZ_CHECK(isNotFound || length < capacity);
        VOBRIK_FUZZ_CHECK(std::all_of(out.get() + capacity + 1, out.get() + bytes,
                                      [](char c) { return c == 0x5A; }));
        // A file without a single ';' has nothing for any day.
        VOBRIK_FUZZ_CHECK(isNotFound || (size > 0 && std::memchr(data, ';', size) != nullptr));
    }
    for (int32_t width : {398, 120, 11, 1, 0, -40})
        PaintSummary(path, width);
    return 0;
}

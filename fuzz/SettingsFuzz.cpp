// Any bytes as VOBRIK.INI. The file must be read without a message, leave every
// value alone when it holds no '=', read the same a second time over what it
// gave, and be saved as the six lines that read back to the same values. The
// day summary then opens where and as large as the file says, however odd.

#include "app/Settings.h"
#include "summary/ResWin.h"

#include "platform/RecordingDC.h"

#include "FuzzSupport.h"

#include <string>
#include <tuple>

namespace {

using namespace vobrik;

auto Values(const TSettings& s) {
    return std::make_tuple(s.StartHidden, s.ShowSummary, s.PosX, s.PosY, s.PosH, s.PosW);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto& files = vobrik::fuzz::UnsyncedFiles();
    static const std::string path = vobrik::fuzz::ScratchPath("VOBRIK.INI");
    static const std::string copy = vobrik::fuzz::ScratchPath("COPY.INI");
    test::WriteBytes(path, {data, data + size});
    test::FakeMessages messages;
    TSettings settings, again, reread;
    VOBRIK_FUZZ_CHECK(LoadSettings(settings, messages, files, path) && messages.Log.empty());
    if (size == 0 || std::memchr(data, '=', size) == nullptr)
        VOBRIK_FUZZ_CHECK(Values(settings) == Values(TSettings{}));
    again = settings;
    VOBRIK_FUZZ_CHECK(LoadSettings(again, messages, files, path) &&
                      Values(again) == Values(settings));

    VOBRIK_FUZZ_CHECK(SaveSettings(settings, messages, files, copy));
    const auto bytes = test::ReadBytes(copy);
    VOBRIK_FUZZ_CHECK(std::string(bytes.begin(), bytes.end()) == FormatSettings(settings));
    reread.StartHidden = !settings.StartHidden;
    reread.ShowSummary = !settings.ShowSummary;
    VOBRIK_FUZZ_CHECK(LoadSettings(reread, messages, files, copy) &&
                      Values(reread) == Values(settings));

    test::FakeSummaryOwner owner;
    test::FakeResWinShell shell; // a window as large as it was last asked to be
    shell.FrameWidth = shell.FrameHeight = 0;
    TResWin win(&owner);
    win.Attr = {settings.PosX, settings.PosY, settings.PosW, settings.PosH};
    win.SetupWindow(shell);
    TRecordingDC dc;
    win.Paint(dc, vobrik::fuzz::Now);
    win.Paint(dc, vobrik::fuzz::Now);
    return 0;
}

#include "app/StartUp.h"

#include "platform/Win.h"

#include <cstring>

namespace vobrik {

bool IsHideArgument(int argc, const char* const argv[]) {
    if (argc < 2 || argv[1] == nullptr || std::strlen(argv[1]) != 4)
        return false;
    // Upper-cased as the C locale does it: only the ASCII letters change.
    for (int i = 0; i < 4; ++i) {
        char c = argv[1][i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != "HIDE"[i])
            return false;
    }
    return true;
}

int AdjustShowCommand(int incoming, bool hideOnStart) {
    if (hideOnStart)
        return SW_HIDE;
    return incoming == SW_HIDE || incoming == SW_SHOWMINNOACTIVE ? incoming : SW_SHOW;
}

} // namespace vobrik

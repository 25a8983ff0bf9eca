#include "app/StartUp.h"

#include "platform/Text1252.h"
#include "platform/Win.h"

namespace vobrik {

bool IsHideArgument(int argc, const char* const argv[]) {
    return argc >= 2 && argv[1] != nullptr && UpperCaseAscii(argv[1]) == "HIDE";
}

int AdjustShowCommand(int incoming, bool hideOnStart) {
    if (hideOnStart)
        return SW_HIDE;
    return incoming == SW_HIDE || incoming == SW_SHOWMINNOACTIVE ? incoming : SW_SHOW;
}

} // namespace vobrik

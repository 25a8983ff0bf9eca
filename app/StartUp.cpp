#include "app/StartUp.h"

#include "platform/Win.h"

namespace vobrik {

int AdjustShowCommand(int incoming, bool hideOnStart) {
    if (hideOnStart)
        return SW_HIDE;
    return incoming == SW_HIDE || incoming == SW_SHOWMINNOACTIVE ? incoming : SW_SHOW;
}

} // namespace vobrik

#include "dialogs/InputGuard.h"

#include <algorithm>

namespace vobrik {

int64_t TInputGuard::OpensAt() const {
    const int64_t minimum = StartedAt + MinimumMs;
    return HadInput ? std::max(minimum, LastInput + QuietMs) : minimum;
}

bool TInputGuard::Check(int64_t now) {
    if (!Open && now >= OpensAt())
        Open = true;
    return Open;
}

bool TInputGuard::Discard(int64_t now) {
    if (Check(now))
        return false;
    LastInput = now;
    HadInput = true;
    return true;
}

} // namespace vobrik

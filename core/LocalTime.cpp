#include "core/LocalTime.h"

#include <cerrno>
#include <limits>

namespace vobrik {

std::tm ToLocal(int32_t when) {
    const time_t t = when;
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

int32_t MakeWhen(std::tm& local) {
    constexpr auto Lowest = std::numeric_limits<int32_t>::min();
    constexpr auto Highest = std::numeric_limits<int32_t>::max();
    const int yearAsked = local.tm_year;
    errno = 0;
    const time_t t = mktime(&local);
    if (t == static_cast<time_t>(-1) && errno != 0)
        return yearAsked < 70 ? Lowest : Highest;
    if (t > Highest)
        return Highest;
    if (t < Lowest)
        return Lowest;
    return static_cast<int32_t>(t);
}

int32_t MakeWhenOnLocalClock(std::tm& local) {
    local.tm_isdst = -1;
    return MakeWhen(local);
}

int32_t NextDay(std::tm& local) {
    local.tm_mday += 1;
    return MakeWhenOnLocalClock(local);
}

int32_t CurrentTime() {
    const std::time_t now = std::time(nullptr);
    return now > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                     : static_cast<int32_t>(now);
}

} // namespace vobrik

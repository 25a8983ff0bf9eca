#pragma once

// What the calendar's import and export share of libical: owners that free
// what it allocates, and its error mode.

#include <libical/ical.h>

#include <cstdlib>
#include <memory>

namespace vobrik {

struct TIcalFree {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
    void operator()(icalparser* p) const { icalparser_free(p); }
    void operator()(icalrecur_iterator* i) const { icalrecur_iterator_free(i); }
    void operator()(char* s) const { std::free(s); }
};
using TComponent = std::unique_ptr<icalcomponent, TIcalFree>;
using TParser = std::unique_ptr<icalparser, TIcalFree>;
using TIterator = std::unique_ptr<icalrecur_iterator, TIcalFree>;
using TOwnedText = std::unique_ptr<char, TIcalFree>;

inline void QuietLibical() {
    // libical aborts on some errors unless told otherwise; bad input must only
    // be reported.
    icalerror_set_errors_are_fatal(0);
}

} // namespace vobrik

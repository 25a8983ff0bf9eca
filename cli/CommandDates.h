#pragma once

// The dates a user types on the command line: read strictly (a field out of
// its range is refused, naming it), then placed on the local clock at run
// time, where a date already past, or a time the clocks skip, is refused too.
// Texts are UTF-8.

#include <cstdint>
#include <string>

namespace vobrik {

struct TTypedDate {
    enum TForm { None, Full, TimeOnly, Tomorrow, In } Form = None;
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0;
    int64_t InMinutes = 0;
};

// "AAAA-MM-JJ HH:MM" (or with a T), "JJ/MM/AAAA HH:MM", "HH:MM",
// "demain HH:MM". Empty when read, else why not.
std::string ReadAtDate(const std::string& text, TTypedDate& date);
// "90m", "2h", "1j2h30m": days, hours and minutes, in that order.
std::string ReadInDuration(const std::string& text, TTypedDate& date);

struct TPlacedDate {
    bool Placed = false;
    int32_t When = 0;
    std::string Why;  // a refusal, when not placed
    std::string Note; // something the user should know, when placed
};

// The moment the typed date names, seen from `now`, at second 0 of its
// minute.
TPlacedDate PlaceDate(const TTypedDate& date, int32_t now);

} // namespace vobrik

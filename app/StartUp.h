#pragma once

namespace vobrik {

// The first argument is the word HIDE, in any mix of cases. No other argument
// is looked at.
bool IsHideArgument(int argc, const char* const argv[]);

// The show command the main frame gets from the one the program was started
// with: hidden and minimised-without-activation stay, anything else shows it;
// a hidden start hides it in any case.
int AdjustShowCommand(int incoming, bool hideOnStart);

} // namespace vobrik

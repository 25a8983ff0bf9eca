#pragma once

namespace vobrik {

// The show command the main frame gets from the one the program was started
// with: hidden and minimised-without-activation stay, anything else shows it;
// a hidden start hides it in any case.
int AdjustShowCommand(int incoming, bool hideOnStart);

} // namespace vobrik

#include "cli/Command.h"

namespace vobrik {

// Each command is defined in its own file; this list is the only place that
// names them all. A new command is one file and one name here.
#define VOBRIK_COMMANDS(X)                                                                         \
    X(ListCommand)                                                                                 \
    X(NextCommand) X(AddCommand) X(DeleteCommand) X(ExportIcsCommand) X(ImportIcsCommand)

#define VOBRIK_DECLARE(name) extern const TCommand name;
#define VOBRIK_ADDRESS(name) &name,
VOBRIK_COMMANDS(VOBRIK_DECLARE)

const std::vector<const TCommand*>& Commands() {
    static const std::vector<const TCommand*> all = {VOBRIK_COMMANDS(VOBRIK_ADDRESS)};
    return all;
}

} // namespace vobrik

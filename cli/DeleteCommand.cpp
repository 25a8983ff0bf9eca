// --delete: a reminder named by its key, as --list shows it.

#include "cli/Command.h"
#include "cli/CommandLine.h"
#include "cli/ListText.h"

#include <cctype>

namespace vobrik {

namespace {

std::string SetKey(TRequest& request, const std::string& value) {
    request.Key = value;
    for (char& c : request.Key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool key = request.Key.size() == 8 &&
                     request.Key.find_first_not_of("0123456789abcdef") == std::string::npos;
    return key ? std::string()
               : "--delete attend l'identifiant d'une alarme, 8 chiffres ou lettres de a à f "
                 "(voir --list)";
}

TReply Delete(TCommandContext& context, const TRequest& request) {
    TAlarmTable& table = context.Table;
    for (int slot = 0; slot < table.AlarmCount; ++slot) {
        if (ReminderKey(*table.Alarms[slot]) != request.Key)
            continue;
        table.RemoveAt(slot);
        table.RefreshAlarmList();
        return table.SaveAlarms() ? TReply() : NotSaved(table);
    }
    return Refusal(ExitRefused, "aucune alarme n'a l'identifiant " + request.Key +
                                    " : supprimée ou modifiée depuis ? (voir vobrik --list)");
}

} // namespace

extern const TCommand DeleteCommand = {"delete",
                                       "ID",
                                       SetKey,
                                       "supprime l'alarme de cet identifiant (voir --list)",
                                       {&DirOption, &TimeoutOption},
                                       nullptr,
                                       true,
                                       nullptr,
                                       Delete};

} // namespace vobrik

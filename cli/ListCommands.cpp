// --list and --next: the reminders read, never changed.

#include "cli/Command.h"
#include "cli/ListText.h"

namespace vobrik {

namespace {

std::string SetTsv(TRequest& request, const std::string&) {
    request.Tsv = true;
    return {};
}

std::string Nothing(TRequest&, const std::string&) {
    return {};
}

const TOption TsvOption = {"tsv", nullptr, "forme", SetTsv,
                           "avec --list : identifiant, secondes, date ISO 8601, type, message, "
                           "séparés par des tabulations"};

TReply List(TCommandContext& context, const TRequest& request) {
    const TListForm form = request.Json  ? TListForm::Json
                           : request.Tsv ? TListForm::Tsv
                                         : TListForm::Text;
    return {ExitDone, ListText(context.Table, context.File, form), ""};
}

TReply Next(TCommandContext& context, const TRequest& request) {
    const TAlarm* next = NextAlarm(context.Table);
    return next != nullptr ? TReply{ExitDone, NextText(*next, request.Json), ""}
                           : TReply{ExitRefused, "", ""};
}

} // namespace

extern const TCommand ListCommand = {"list",
                                     nullptr,
                                     Nothing,
                                     "affiche toutes les alarmes, la plus proche en premier",
                                     {&TsvOption, &JsonOption, &DirOption, &TimeoutOption},
                                     nullptr,
                                     false,
                                     nullptr,
                                     List};

extern const TCommand NextCommand = {
    "next",
    nullptr,
    Nothing,
    "affiche la prochaine alarme sur une ligne (rien et le code 1 s'il n'y en a pas)",
    {&JsonOption, &DirOption, &TimeoutOption},
    nullptr,
    false,
    nullptr,
    Next};

} // namespace vobrik

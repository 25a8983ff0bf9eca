// --add: a reminder typed on the terminal, at a date or in a while, once or
// again and again.

#include "calendar/FrenchDate.h"
#include "cli/Command.h"
#include "cli/CommandLine.h"
#include "cli/ListText.h"
#include "platform/Text1252.h"

namespace vobrik {

namespace {

std::string SetMessage(TRequest& request, const std::string& value) {
    request.Message = Windows1252FromUtf8(value);
    // As in the editor, line breaks and tabs become spaces.
    for (char& c : request.Message)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    if (request.Message.size() > 199)
        return "le message dépasse 199 caractères (" + std::to_string(request.Message.size()) + ")";
    return {};
}

std::string SetAt(TRequest& request, const std::string& value) {
    return ReadAtDate(value, request.Date);
}

std::string SetIn(TRequest& request, const std::string& value) {
    return ReadInDuration(value, request.Date);
}

std::string SetMonthly(TRequest& request, const std::string&) {
    request.Type = atMonthly;
    return {};
}

std::string SetYearly(TRequest& request, const std::string&) {
    request.Type = atYearly;
    return {};
}

std::string SetEvery(TRequest& request, const std::string& value) {
    request.Type = atEveryDays;
    request.EveryDays = Digits(value, 3) ? std::stoi(value) : 0;
    return request.EveryDays > 0 ? std::string() : "--every attend un nombre de jours de 1 à 999";
}

const TOption AtOption = {"at", "DATE", "date", SetAt,
                          "avec --add : « AAAA-MM-JJ HH:MM », « JJ/MM/AAAA HH:MM », « HH:MM » "
                          "(aujourd'hui, sinon demain) ou « demain HH:MM »"};
const TOption InOption = {"in", "DURÉE", "date", SetIn,
                          "avec --add : dans tant de temps, « 90m », « 2h », « 1j2h »"};
const TOption MonthlyOption = {"monthly", nullptr, "type", SetMonthly,
                               "avec --add : tous les mois"};
const TOption YearlyOption = {"yearly", nullptr, "type", SetYearly, "avec --add : tous les ans"};
const TOption EveryOption = {"every", "N", "type", SetEvery,
                             "avec --add : tous les N jours (1 à 999)"};

TReply Add(TCommandContext& context, const TRequest& request) {
    TAlarmTable& table = context.Table;
    if (table.IsFull())
        return Refusal(ExitRefused, TableFullText);
    const TPlacedDate date = PlaceDate(request.Date, table.Clock().Now());
    if (!date.Placed)
        return Refusal(ExitRefused, date.Why);
    TAlarm added;
    added.When = date.When;
    SetAlarmMessage(added, request.Message.c_str());
    added.Type = request.Type;
    added.EveryDays = request.Type == atEveryDays ? request.EveryDays : 0;
    table.Append(added);
    table.RefreshAlarmList();
    if (!table.SaveAlarms())
        return NotSaved(table);
    // The key for scripts; for the user, the date as it was understood.
    const std::string understood = Quoted(Utf8FromWindows1252(added.Message)) + " : " +
                                   Utf8FromWindows1252(FrenchDayInText(added.When)) + " à " +
                                   ClockTime(added.When) + "\n";
    return {ExitDone, ReminderKey(added) + "\n",
            understood + (date.Note.empty() ? "" : "vobrik : " + date.Note + "\n")};
}

} // namespace

extern const TCommand AddCommand = {
    "add",
    "MESSAGE",
    SetMessage,
    "ajoute une alarme et affiche son identifiant",
    {&AtOption, &InOption, &MonthlyOption, &YearlyOption, &EveryOption, &DirOption, &TimeoutOption},
    "date",
    true,
    nullptr,
    Add};

} // namespace vobrik

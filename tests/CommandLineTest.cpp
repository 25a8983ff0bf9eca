#include "app/CommandLine.h"
#include "app/TableCommands.h"

#include "Support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vobrik {
namespace {

using namespace vobrik::test;

struct ParseCase {
    std::vector<std::string> Args;
    TAction Action;   // when accepted
    const char* Error; // part of the usage message, null when accepted
};

TEST(CommandLine, OptionsAreReadOrRefusedWithAUsageError) {
    const std::string longest(199, 'x'), tooLong(200, 'x');
    std::string accented;
    for (int i = 0; i < 199; ++i)
        accented += "\xC3\xA9"; // 199 characters, 398 bytes of UTF-8
    const ParseCase cases[] = {
        {{}, TAction::Window, nullptr},
        {{"hIdE"}, TAction::Window, nullptr},
        {{"-h"}, TAction::Help, nullptr},
        {{"--list", "--help"}, TAction::Help, nullptr},
        {{"--list", "--tsv", "--dir=d"}, TAction::List, nullptr},
        {{"--add", longest, "--at", "2027-01-05 10:00"}, TAction::Add, nullptr},
        {{"--add=" + accented, "--at=2027-1-5T9:05", "--every", "999"}, TAction::Add, nullptr},
        {{"--delete", "12", "--dir", "d"}, TAction::Delete, nullptr},
        {{"--bogus"}, TAction::Window, "option inconnue \xC2\xAB --bogus \xC2\xBB"},
        {{"list"}, TAction::Window, "argument inattendu"},
        {{"--", "--list"}, TAction::Window, "argument inattendu \xC2\xAB --list"},
        {{"HIDE", "--list"}, TAction::Window, "argument inattendu"},
        {{"--list=1"}, TAction::Window, "ne prend pas de valeur"},
        {{"--add"}, TAction::Window, "attend MESSAGE"},
        {{"--add", "m"}, TAction::Window, "--add demande --at"},
        {{"--add", tooLong, "--at", "2027-01-05 10:00"}, TAction::Window, "199 caract"},
        {{"--add", "a\tb", "--at", "2027-01-05 10:00"}, TAction::Window, "une ligne"},
        {{"--add", "m", "--at", "5 janvier"}, TAction::Window, "date illisible"},
        {{"--add", "m", "--at", "2027-01-05 10:00", "--monthly", "--every", "2"},
         TAction::Window, "ne va pas avec"},
        {{"--add", "m", "--at", "2027-01-05 10:00", "--every", "0"}, TAction::Window, "1 \xC3\xA0 999"},
        {{"--list", "--at", "2027-01-05 10:00"}, TAction::Window, "ne va pas avec --list"},
        {{"--list", "--delete", "3"}, TAction::Window, "une seule commande"},
        {{"--delete", "-3"}, TAction::Window, "l'Id d'une alarme"},
        {{"--tsv"}, TAction::Window, "qu'avec une commande"},
    };
    for (const ParseCase& c : cases) {
        TRequest request;
        TReply reply;
        const bool accepted = ParseCommandLine(c.Args, request, reply);
        const std::string args = c.Args.empty() ? "" : c.Args[0] + " ...";
        ASSERT_EQ(c.Error == nullptr, accepted) << args << ": " << reply.Err;
        if (accepted) {
            EXPECT_EQ(c.Action, request.Action) << args;
        } else {
            EXPECT_EQ(ExitUsage, reply.Code);
            EXPECT_NE(std::string::npos, reply.Err.find(c.Error)) << args << ": " << reply.Err;
            EXPECT_NE(std::string::npos, reply.Err.find("vobrik --help")) << args;
        }
    }
}

struct Step {
    std::vector<std::string> Args;
    int Code;
    const char* Out; // the whole standard output, or null when not looked at
    const char* Err; // part of the error output
};

TEST(CommandLine, CommandsWorkOnTheFolderAsTheEditorWould) {
    ScopedTz zone("Europe/Paris");
    TempDir dir;
    const std::string file = dir.Path("ALARMS.VBK");
    const std::string heading = "Alarmes de " + file + " (Vobrik n'est pas lanc\xC3\xA9) :\n";
    const Step steps[] = {
        {{"--list"}, 0, nullptr, ""},
        {{"--add", "Dentiste", "--at", "2027-01-05 10:00"}, 0, "1\n", ""},
        {{"--add", "Loyer \xE2\x82\xAC \xE2\x9C\x93", "--at", "2027-02-30 9:05", "--monthly"}, 0,
         "2\n", ""},
        {{"--add", "Sport", "--at", "2026-12-31 18:00", "--every", "3"}, 0, "3\n", ""},
        {{"--add", "Anniversaire", "--at", "2027-03-02 09:06", "--yearly"}, 0, "4\n", ""},
        {{"--add", "Trop tard", "--at", "2038-02-01 10:00"}, 1, "", "Cette date ne peut pas"},
        {{"--delete", "9"}, 1, "", "aucune alarme n'a l'Id 9"},
        {{"--delete", "2"}, 0, "", ""},
        {{"--list"}, 0, nullptr, ""},
    };
    std::string lastOut;
    for (const Step& step : steps) {
        TRequest request;
        TReply reply;
        ASSERT_TRUE(ParseCommandLine(step.Args, request, reply)) << reply.Err;
        reply = RunInFolder(request, dir.Root(), "/");
        EXPECT_EQ(step.Code, reply.Code) << step.Args[0] << ": " << reply.Err;
        if (step.Out != nullptr) {
            EXPECT_EQ(step.Out, reply.Out) << step.Args[0];
        }
        EXPECT_NE(std::string::npos, reply.Err.find(step.Err)) << reply.Err;
        lastOut = reply.Out;
    }
    // Earliest first, Ids in the order the file holds them; the euro sign
    // survives, the check mark is replaced visibly.
    EXPECT_EQ(heading + "   1  jeudi 31 d\xC3\xA9" "cembre 2026 18:00  tous les 3 jour(s)  Sport\n"
                        "   2  mardi 2 mars 2027 09:05  mensuel  Loyer \xE2\x82\xAC ?\n"
                        "   3  mardi 2 mars 2027 09:06  annuel  Anniversaire\n",
              lastOut);
    TRequest request;
    TReply reply;
    ASSERT_TRUE(ParseCommandLine({"--list", "--tsv"}, request, reply));
    const std::string tsv = RunInFolder(request, dir.Root(), "/").Out, ss = tsv.substr(30, 2);
    EXPECT_EQ("1\t" + std::to_string(1798736400 + std::stoi(ss)) + "\t2026-12-31T18:00:" + ss +
                  "+01:00\ttous les 3 jour(s)\tSport\n",
              tsv.substr(0, tsv.find('\n') + 1));
}

TEST(CommandLine, FullTableRefusesAnAdd) {
    FakeList list;
    FakeMessages messages;
    FakeClock clock;
    TAlarmTable table(list, messages, clock);
    while (table.Append(TAlarm()) != nullptr) {
    }
    TRequest request;
    TReply reply;
    ASSERT_TRUE(ParseCommandLine({"--add", "m", "--at", "2027-01-05 10:00"}, request, reply));
    TCommandContext context{table, "f", "/"};
    reply = RunTableCommand(context, request);
    EXPECT_EQ(ExitRefused, reply.Code);
    EXPECT_NE(std::string::npos, reply.Err.find("plus de 100 alarmes")) << reply.Err;
    EXPECT_TRUE(messages.Log.empty());
}

TEST(TrayTip, NamesTheEarliestReminderOrNone) {
    ScopedTz zone("Europe/Paris");
    FakeList list;
    FakeMessages messages;
    FakeClock clock;
    TAlarmTable table(list, messages, clock);
    EXPECT_EQ("Vobrik\nAucune alarme", TrayTipText(table));
    for (const auto& [when, text] : {std::pair{1799143200, "Plus tard"}, {1799139600, "Dentiste"}}) {
        TAlarm alarm;
        alarm.When = when;
        SetAlarmMessage(alarm, text);
        table.Append(alarm);
    }
    EXPECT_EQ("Vobrik\nProchaine alarme : mardi 5 janvier 2027 \xE0 10:00 \x97 Dentiste",
              TrayTipText(table));
}

} // namespace
} // namespace vobrik

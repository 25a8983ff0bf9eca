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
        {{"--delete", "0a1B2c3d", "--dir", "d"}, TAction::Delete, nullptr},
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
        {{"--add", "--", "-x", "--in", "1j2h30m"}, TAction::Add, nullptr},
        {{"--add", "m", "--at", "2031-13-45 25:61"}, TAction::Window, "mois 13 : attendu de 1"},
        {{"--add", "m", "--at", "29/02/2031 10:00"}, TAction::Window, "jour 29 : f\xC3\xA9vrier 2031 a 28"},
        {{"--add", "m", "--at", "24:00"}, TAction::Window, "heure 24"},
        {{"--add", "m", "--at", "demain 10:60"}, TAction::Window, "minute 60"},
        {{"--add", "m", "--in", "2h1j"}, TAction::Window, "dur\xC3\xA9" "e illisible"},
        {{"--add", "m", "--in", "90m", "--at", "10:00"}, TAction::Window, "ne va pas avec"},
        {{"--every", "3"}, TAction::Window, "--every \xC2\xBB ne va qu'avec --add"},
        {{"--list", "--tsv", "--json"}, TAction::Window, "--json ne va pas avec --tsv"},
        {{"--add", "m", "--at", "2027-01-05 10:00", "--monthly", "--every", "2"},
         TAction::Window, "ne va pas avec"},
        {{"--add", "m", "--at", "2027-01-05 10:00", "--every", "0"}, TAction::Window, "1 \xC3\xA0 999"},
        {{"--list", "--at", "2027-01-05 10:00"}, TAction::Window, "ne va pas avec --list"},
        {{"--list", "--delete", "3"}, TAction::Window, "une seule commande"},
        {{"--delete", "12"}, TAction::Window, "l'identifiant d'une alarme"},
        {{"--tsv"}, TAction::Window, "qu'avec --list"},
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

} // namespace
} // namespace vobrik

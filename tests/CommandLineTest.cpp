#include "cli/CommandLine.h"
#include "cli/RunCommand.h"

#include "Support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vobrik {
namespace {

using namespace vobrik::test;

struct ParseCase {
    std::vector<std::string> Args;
    const char* Command; // when accepted: the command's option, "help", or null
    const char* Error;   // part of the usage message, null when accepted
};

TEST(CommandLine, OptionsAreReadOrRefusedWithAUsageError) {
    const std::string longest(199, 'x'), tooLong(200, 'x');
    std::string accented;
    for (int i = 0; i < 199; ++i)
        accented += "é"; // 199 characters, 398 bytes of UTF-8
    const ParseCase cases[] = {
        {{}, nullptr, nullptr},
        {{"hIdE"}, nullptr, nullptr},
        {{"-h"}, "help", nullptr},
        {{"--list", "--help"}, "help", nullptr},
        {{"--list", "--tsv", "--dir=d"}, "list", nullptr},
        {{"--add", longest, "--at", "2027-01-05 10:00"}, "add", nullptr},
        {{"--add=" + accented, "--at=2027-1-5T9:05", "--every", "999"}, "add", nullptr},
        {{"--delete", "0a1B2c3d", "--dir", "d"}, "delete", nullptr},
        {{"--bogus"}, nullptr, "option inconnue « --bogus »"},
        {{"list"}, nullptr, "argument inattendu"},
        {{"--", "--list"}, nullptr, "argument inattendu « --list"},
        {{"HIDE", "--list"}, nullptr, "argument inattendu"},
        {{"--list=1"}, nullptr, "ne prend pas de valeur"},
        {{"--add"}, nullptr, "attend MESSAGE"},
        {{"--add", "m"}, nullptr, "--add demande --at"},
        {{"--add", tooLong, "--at", "2027-01-05 10:00"}, nullptr, "199 caract"},
        {{"--add", "a\tb", "--at", "05/01/27 10:00"}, "add", nullptr},
        {{"--add", "m", "--at", "5 janvier"}, nullptr, "date illisible"},
        {{"--add", "--", "-x", "--in", "1j2h30m"}, "add", nullptr},
        {{"--add", "m", "--at", "2031-13-45 25:61"}, nullptr, "mois 13 : attendu de 1"},
        {{"--add", "m", "--at", "29/02/2031 10:00"}, nullptr, "jour 29 : février 2031 a 28"},
        {{"--add", "m", "--at", "24:00"}, nullptr, "heure 24"},
        {{"--add", "m", "--at", "demain 10:60"}, nullptr, "minute 60"},
        {{"--add", "m", "--in", "2h1j"}, nullptr, "durée illisible"},
        {{"--add", "m", "--in", "90m", "--at", "10:00"}, nullptr, "ne va pas avec"},
        {{"--every", "3"}, nullptr, "--every » ne va qu'avec --add"},
        {{"--list", "--tsv", "--json"}, nullptr, "--json » ne va pas avec « --tsv"},
        {{"--add", "m", "--at", "2027-01-05 10:00", "--monthly", "--every", "2"},
         nullptr,
         "ne va pas avec"},
        {{"--add", "m", "--at", "2027-01-05 10:00", "--every", "0"}, nullptr, "1 à 999"},
        {{"--list", "--at", "2027-01-05 10:00"}, nullptr, "ne va pas avec --list"},
        {{"--list", "--delete", "3"}, nullptr, "une seule commande"},
        {{"--delete", "12"}, nullptr, "l'identifiant d'une alarme"},
        {{"--tsv"}, nullptr, "qu'avec --list"},
    };
    for (const ParseCase& c : cases) {
        TRequest request;
        TReply reply;
        const bool accepted = ParseCommandLine(c.Args, request, reply);
        const std::string args = c.Args.empty() ? "" : c.Args[0] + " ...";
        ASSERT_EQ(c.Error == nullptr, accepted) << args << ": " << reply.Err;
        if (accepted) {
            const char* command = request.Help      ? "help"
                                  : request.Command ? request.Command->Long
                                                    : nullptr;
            EXPECT_STREQ(c.Command, command) << args;
        } else {
            EXPECT_EQ(ExitUsage, reply.Code);
            EXPECT_NE(std::string::npos, reply.Err.find(c.Error)) << args << ": " << reply.Err;
            EXPECT_NE(std::string::npos, reply.Err.find("vobrik --help")) << args;
        }
    }
}

} // namespace
} // namespace vobrik

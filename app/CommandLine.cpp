#include "app/CommandLine.h"

#include "app/StartUp.h"
#include "platform/Text1252.h"

#include <cctype>
#include <cstring>
#include <langinfo.h>
#include <map>

#ifndef VOBRIK_VERSION
#define VOBRIK_VERSION "0"
#endif

namespace vobrik {

namespace {

// Options that change how a command works; each command names those it accepts.
enum TFlag : unsigned { fTsv = 1, fAt = 2, fKind = 4, fDir = 8, fJson = 16 };

using TApply = std::string (*)(TRequest&, const std::string&);

struct TOption {
    const char* Long;
    char Short;
    const char* Value; // the value's name in the help, null for an option without one
    TAction Action;    // Window for the options that are not commands
    unsigned Flag;
    TApply Apply;
    const char* Help;
};

// The commands, and what each accepts and needs besides its own option.
struct TCommand {
    TAction Action;
    unsigned Allowed;
    unsigned Required;
};

constexpr TCommand Commands[] = {
    {TAction::List, fTsv | fJson | fDir, 0},
    {TAction::Next, fJson | fDir, 0},
    {TAction::Add, fAt | fKind | fDir, fAt},
    {TAction::Delete, fDir, 0},
    {TAction::ExportIcs, fDir, 0},
    {TAction::ImportIcs, fDir, 0},
};

std::string Nothing(TRequest&, const std::string&) {
    return {};
}

// Digits only, at most `width` of them.
bool Digits(const std::string& text, size_t width) {
    return !text.empty() && text.size() <= width &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

std::string SetMessage(TRequest& request, const std::string& value) {
    request.Message = Windows1252FromUtf8(value);
    for (const char c : request.Message)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return "le message tient sur une ligne, sans tabulation";
    if (request.Message.size() > 199)
        return "le message d\xC3\xA9passe 199 caract\xC3\xA8res (" +
               std::to_string(request.Message.size()) + ")";
    return {};
}

std::string SetAt(TRequest& request, const std::string& value) {
    return ReadAtDate(value, request.Date);
}

std::string SetIn(TRequest& request, const std::string& value) {
    return ReadInDuration(value, request.Date);
}

std::string SetMonthly(TRequest& request, const std::string&) {
    request.Type = 2;
    return {};
}

std::string SetYearly(TRequest& request, const std::string&) {
    request.Type = 3;
    return {};
}

std::string SetEvery(TRequest& request, const std::string& value) {
    request.Type = 4;
    request.EveryDays = Digits(value, 3) ? std::stoi(value) : 0;
    return request.EveryDays > 0 ? std::string()
                                 : "--every attend un nombre de jours de 1 \xC3\xA0 999";
}

std::string SetKey(TRequest& request, const std::string& value) {
    request.Key = value;
    for (char& c : request.Key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return request.Key.size() == 8 && request.Key.find_first_not_of("0123456789abcdef") ==
                                          std::string::npos
               ? std::string()
               : "--delete attend l'identifiant d'une alarme, 8 chiffres ou lettres de a "
                 "\xC3\xA0 f (voir --list)";
}

std::string SetFile(TRequest& request, const std::string& value) {
    request.File = value;
    return value.empty() ? "un fichier de calendrier est attendu" : std::string();
}

std::string SetTsv(TRequest& request, const std::string&) {
    request.Tsv = true;
    return {};
}

std::string SetJson(TRequest& request, const std::string&) {
    request.Json = true;
    return {};
}

std::string SetDir(TRequest& request, const std::string& value) {
    request.Dir = value;
    return value.empty() ? "--dir attend un dossier" : std::string();
}

const TOption Options[] = {
    {"help", 'h', nullptr, TAction::Help, 0, Nothing, "affiche cette aide"},
    {"version", 'V', nullptr, TAction::Version, 0, Nothing, "affiche la version"},
    {"list", 0, nullptr, TAction::List, 0, Nothing,
     "affiche toutes les alarmes, la plus proche en premier"},
    {"next", 0, nullptr, TAction::Next, 0, Nothing,
     "affiche la prochaine alarme sur une ligne (rien et le code 1 s'il n'y en a pas)"},
    {"json", 0, nullptr, TAction::Window, fJson, SetJson,
     "avec --list ou --next : en JSON (identifiant, date ISO 8601, secondes, type, "
     "intervalle, message)"},
    {"tsv", 0, nullptr, TAction::Window, fTsv, SetTsv,
     "avec --list : identifiant, secondes, date ISO 8601, type, message, "
     "s\xC3\xA9par\xC3\xA9s par des tabulations"},
    {"add", 0, "MESSAGE", TAction::Add, 0, SetMessage,
     "ajoute une alarme et affiche son identifiant"},
    {"at", 0, "DATE", TAction::Window, fAt, SetAt,
     "avec --add : \xC2\xAB AAAA-MM-JJ HH:MM \xC2\xBB, \xC2\xAB JJ/MM/AAAA HH:MM \xC2\xBB, "
     "\xC2\xAB HH:MM \xC2\xBB (aujourd'hui, sinon demain) ou \xC2\xAB demain HH:MM \xC2\xBB"},
    {"in", 0, "DUR\xC3\x89" "E", TAction::Window, fAt, SetIn,
     "avec --add : dans tant de temps, \xC2\xAB 90m \xC2\xBB, \xC2\xAB 2h \xC2\xBB, "
     "\xC2\xAB 1j2h \xC2\xBB"},
    {"monthly", 0, nullptr, TAction::Window, fKind, SetMonthly, "avec --add : tous les mois"},
    {"yearly", 0, nullptr, TAction::Window, fKind, SetYearly, "avec --add : tous les ans"},
    {"every", 0, "N", TAction::Window, fKind, SetEvery, "avec --add : tous les N jours (1 \xC3\xA0 999)"},
    {"delete", 0, "ID", TAction::Delete, 0, SetKey,
     "supprime l'alarme de cet identifiant (voir --list)"},
    {"export-ics", 0, "FICHIER", TAction::ExportIcs, 0, SetFile,
     "\xC3\xA9"
     "crit toutes les alarmes dans un calendrier iCalendar (\xC2\xAB - \xC2\xBB : sortie standard)"},
    {"import-ics", 0, "FICHIER", TAction::ImportIcs, 0, SetFile,
     "ajoute les \xC3\xA9v\xC3\xA9nements et t\xC3\xA2"
     "ches d'un calendrier iCalendar (\xC2\xAB - \xC2\xBB : entr\xC3\xA9"
     "e standard)"},
    {"dir", 0, "DOSSIER", TAction::Window, fDir, SetDir,
     "dossier des alarmes (par d\xC3\xA9"
     "faut celui de Vobrik lanc\xC3\xA9, sinon $XDG_DATA_HOME/vobrik)"},
};

std::string Quoted(const std::string& text) {
    return "\xC2\xAB " + text + " \xC2\xBB";
}

const TOption* FindOption(const std::string& arg) {
    for (const TOption& option : Options) {
        if (arg.size() == 2 && arg[0] == '-' && option.Short != 0 && arg[1] == option.Short)
            return &option;
        if (arg.compare(0, 2, "--") == 0 && arg.compare(2, std::string::npos, option.Long) == 0)
            return &option;
    }
    return nullptr;
}

const TCommand* FindCommand(TAction action) {
    for (const TCommand& command : Commands)
        if (command.Action == action)
            return &command;
    return nullptr;
}

class TParser {
  public:
    TParser(const std::vector<std::string>& args, TRequest& request) : Args(args), Request(request) {}

    // Empty when the arguments make sense, else why not.
    std::string Run() {
        if (!Args.empty() && IsHide(Args[0])) {
            Request.Hide = true;
            return Args.size() == 1 ? std::string() : "argument inattendu " + Quoted(Args[1]);
        }
        for (size_t i = 0; i < Args.size(); ++i) {
            const std::string error = Take(i);
            if (!error.empty())
                return error;
        }
        if (Help || Version) {
            Request.Action = Help ? TAction::Help : TAction::Version;
            return {};
        }
        return CheckCombination();
    }

  private:
    static bool IsHide(const std::string& arg) {
        const char* argv[] = {"vobrik", arg.c_str()};
        return IsHideArgument(2, argv);
    }

    std::string Take(size_t& i) {
        const std::string& arg = Args[i];
        if (arg == "--") {
            EndOfOptions = true;
            return {};
        }
        if (EndOfOptions || arg.size() < 2 || arg[0] != '-')
            return "argument inattendu " + Quoted(arg);
        const size_t equals = arg.compare(0, 2, "--") == 0 ? arg.find('=') : std::string::npos;
        const std::string name = arg.substr(0, equals);
        const TOption* option = FindOption(name);
        if (option == nullptr)
            return "option inconnue " + Quoted(name);
        std::string value;
        if (option->Value == nullptr && equals != std::string::npos)
            return "l'option " + Quoted(name) + " ne prend pas de valeur";
        if (option->Value != nullptr) {
            if (equals != std::string::npos)
                value = arg.substr(equals + 1);
            else if (i + 2 < Args.size() && Args[i + 1] == "--") // --add -- -x
                value = Args[i += 2];
            else if (i + 1 < Args.size())
                value = Args[++i];
            else
                return "l'option " + Quoted(name) + " attend " + option->Value;
        }
        return Apply(*option, name, value);
    }

    std::string Apply(const TOption& option, const std::string& name, const std::string& value) {
        if (option.Action == TAction::Help)
            Help = true;
        if (option.Action == TAction::Version)
            Version = true;
        if (option.Action != TAction::Window && option.Action != TAction::Help &&
            option.Action != TAction::Version) {
            if (Request.Action != TAction::Window)
                return "une seule commande \xC3\xA0 la fois (" + CommandName + " et " + name + ")";
            Request.Action = option.Action;
            CommandName = name;
        }
        if (option.Flag != 0) {
            if (Flags & option.Flag)
                return FlagNames[option.Flag] == Quoted(name)
                           ? "l'option " + Quoted(name) + " est donn\xC3\xA9" "e deux fois"
                           : Quoted(name) + " ne va pas avec " + FlagNames[option.Flag];
            Flags |= option.Flag;
            FlagNames[option.Flag] = Quoted(name);
        }
        return option.Apply(Request, value);
    }

    std::string CheckCombination() {
        if (Request.Tsv && Request.Json)
            return "--json ne va pas avec --tsv";
        const TCommand* command = FindCommand(Request.Action);
        const unsigned allowed = command != nullptr ? command->Allowed : 0;
        for (const auto& [flag, name] : FlagNames)
            if ((flag & allowed) == 0)
                return name + (command != nullptr ? " ne va pas avec " + CommandName
                                                  : " ne va qu'avec " + CommandsTaking(flag));
        const unsigned missing = command != nullptr ? command->Required & ~Flags : 0;
        for (const TOption& option : Options)
            if (option.Flag & missing)
                return CommandName + " demande --" + option.Long + " " + option.Value;
        return {};
    }

    // "--list ou --next", or "une commande" when most take it.
    static std::string CommandsTaking(unsigned flag) {
        std::string names;
        int count = 0;
        for (const TCommand& command : Commands)
            for (const TOption& option : Options)
                if (option.Action == command.Action && (command.Allowed & flag) != 0)
                    names += std::string(count++ > 0 ? " ou " : "") + "--" + option.Long;
        return count <= 2 ? names : "une commande";
    }

    const std::vector<std::string>& Args;
    TRequest& Request;
    bool EndOfOptions = false;
    bool Help = false;
    bool Version = false;
    unsigned Flags = 0;
    std::string CommandName;
    std::map<unsigned, std::string> FlagNames; // the option that set each flag
};

// The locale's charset, empty when it is UTF-8 or the C locale's ASCII, which
// terminals set up that way show as UTF-8 all the same.
std::string OtherCharset() {
    const std::string codeset = nl_langinfo(CODESET);
    return codeset == "UTF-8" || codeset == "ANSI_X3.4-1968" ? std::string() : codeset;
}

} // namespace

std::string FromTerminal(const std::string& text) {
    const std::string charset = OtherCharset();
    return charset.empty() ? text : Recoded(text, "UTF-8", charset.c_str());
}

std::string ToTerminal(const std::string& utf8) {
    const std::string charset = OtherCharset();
    return charset.empty() ? utf8 : Recoded(utf8, charset.c_str(), "UTF-8");
}

bool ParseCommandLine(const std::vector<std::string>& args, TRequest& request, TReply& reply) {
    request = TRequest();
    const std::string error = TParser(args, request).Run();
    if (error.empty())
        return true;
    reply = Refusal(ExitUsage, error);
    reply.Err += "Essayez \xC2\xAB vobrik --help \xC2\xBB pour plus d'informations.\n";
    return false;
}

bool IsTableCommand(const TRequest& request) {
    return FindCommand(request.Action) != nullptr;
}

TReply HelpReply() {
    TReply reply;
    reply.Out = "Utilisation : vobrik [HIDE]\n"
                "              vobrik --list [--tsv | --json] [--dir DOSSIER]\n"
                "              vobrik --next [--json] [--dir DOSSIER]\n"
                "              vobrik --add MESSAGE (--at DATE | --in DUR\xC3\x89" "E) "
                "[--monthly | --yearly | --every N] [--dir DOSSIER]\n"
                "              vobrik --delete ID [--dir DOSSIER]\n"
                "              vobrik --export-ics FICHIER|- [--dir DOSSIER]\n"
                "              vobrik --import-ics FICHIER [--dir DOSSIER]\n\n"
                "Sans option, lance Vobrik ou affiche la copie d\xC3\xA9j\xC3\xA0 lanc\xC3\xA9"
                "e ; HIDE le lance cach\xC3\xA9 dans la zone de notification.\n"
                "Une commande passe par le Vobrik lanc\xC3\xA9 sur son dossier, quel que soit "
                "l'environnement (cron, su, ssh) ; sinon elle travaille sur le dossier.\n"
                "L'identifiant d'une alarme (8 caract\xC3\xA8res) reste le m\xC3\xAAme tant "
                "qu'elle ne change pas.\n\n";
    for (const TOption& option : Options) {
        std::string names = option.Short != 0 ? std::string("-") + option.Short + ", " : "    ";
        names += std::string("--") + option.Long;
        if (option.Value != nullptr)
            names += std::string(" ") + option.Value;
        names.resize(names.size() < 20 ? 20 : names.size() + 1, ' ');
        reply.Out += "  " + names + option.Help + "\n";
    }
    reply.Out += "\nCodes de sortie : 0 fait, 1 refus\xC3\xA9 (rien n'a chang\xC3\xA9), "
                 "2 erreur d'utilisation.\n"
                 "Bash compl\xC3\xA8te les options et les identifiants ; voir aussi man vobrik.\n";
    return reply;
}

TReply VersionReply() {
    TReply reply;
    reply.Out = "vobrik " VOBRIK_VERSION "\n";
    return reply;
}

std::string FrenchError(int error) {
    switch (error) {
    case EACCES:
        return "permission refus\xC3\xA9" "e";
    case EPERM:
        return "op\xC3\xA9ration non permise";
    case ENOENT:
        return "fichier ou dossier introuvable";
    case ENOSPC:
        return "plus de place sur le disque";
    case EROFS:
        return "syst\xC3\xA8me de fichiers en lecture seule";
    case EISDIR:
        return "c'est un dossier";
    case EIO:
        return "erreur d'entr\xC3\xA9" "e-sortie";
    case EBADF:
        return "descripteur ferm\xC3\xA9";
    case EPIPE:
        return "tube ferm\xC3\xA9";
    default:
        return "erreur " + std::to_string(error) + " (" + std::strerror(error) + ")";
    }
}

TReply Refusal(int code, const std::string& message) {
    TReply reply;
    reply.Code = code;
    reply.Err = "vobrik : " + message + "\n";
    return reply;
}

std::string EncodeRequest(const std::string& cwd, const std::vector<std::string>& args) {
    std::string payload = cwd + '\0';
    for (const std::string& arg : args)
        payload += arg + '\0';
    return payload;
}

bool DecodeRequest(const std::string& payload, std::string& cwd, std::vector<std::string>& args) {
    if (payload.empty() || payload.back() != '\0')
        return false;
    args.clear();
    for (size_t at = 0; at < payload.size();) {
        const size_t end = payload.find('\0', at);
        args.push_back(payload.substr(at, end - at));
        at = end + 1;
    }
    cwd = args.front();
    args.erase(args.begin());
    return !cwd.empty() && cwd[0] == '/';
}

std::string EncodeReply(const TReply& reply) {
    return std::to_string(reply.Code) + '\0' + reply.Out + '\0' + reply.Err;
}

bool DecodeReply(const std::string& payload, TReply& reply) {
    const size_t first = payload.find('\0');
    const size_t second = first == std::string::npos ? first : payload.find('\0', first + 1);
    if (second == std::string::npos || !Digits(payload.substr(0, first), 3))
        return false;
    reply.Code = std::stoi(payload.substr(0, first));
    reply.Out = payload.substr(first + 1, second - first - 1);
    reply.Err = payload.substr(second + 1);
    return true;
}

} // namespace vobrik

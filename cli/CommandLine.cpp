#include "cli/CommandLine.h"

#include "platform/Text1252.h"

#include <algorithm>
#include <cstring>
#include <langinfo.h>
#include <map>

#ifndef VOBRIK_VERSION
#define VOBRIK_VERSION "0"
#endif

namespace vobrik {

namespace {

std::string SetDir(TRequest& request, const std::string& value) {
    request.Dir = value;
    return value.empty() ? "--dir attend un dossier" : std::string();
}

std::string SetJson(TRequest& request, const std::string&) {
    request.Json = true;
    return {};
}

std::string SetTimeout(TRequest& request, const std::string& value) {
    request.Timeout = Digits(value, 4) ? std::stoi(value) : 0;
    return request.Timeout >= 1 && request.Timeout <= 3600
               ? std::string()
               : "--timeout attend un nombre de secondes, de 1 à 3600";
}

} // namespace

bool Digits(const std::string& text, size_t width) {
    return !text.empty() && text.size() <= width &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

const TOption DirOption = {
    "dir", "DOSSIER", nullptr, SetDir,
    "dossier des alarmes (par défaut celui de Vobrik lancé, sinon $XDG_DATA_HOME/vobrik)"};
const TOption TimeoutOption = {
    "timeout", "SECONDES", nullptr, SetTimeout,
    "attente au plus d'un Vobrik lancé ou du dossier pris (30 par défaut) ; au-delà, la "
    "commande n'est pas faite (code 3)"};
const TOption JsonOption = {"json", nullptr, "forme", SetJson,
                            "avec --list ou --next : en JSON (identifiant, date ISO 8601, "
                            "secondes, type, intervalle, message)"};

namespace {

// What the user may type: a command, one of its options, or one answered on
// the spot.
struct TWord {
    std::string Name; // "--list", "-h"
    const TCommand* Command = nullptr;
    const TOption* Option = nullptr;
    bool Help = false, Version = false;
};

bool Takes(const TCommand& command, const TOption* option) {
    for (const TOption* taken : command.Options)
        if (taken == option)
            return true;
    return false;
}

bool FindWord(const std::string& name, TWord& word) {
    word = TWord{name};
    if (name == "-h" || name == "--help")
        return word.Help = true;
    if (name == "-V" || name == "--version")
        return word.Version = true;
    if (name.compare(0, 2, "--") != 0)
        return false;
    const std::string bare = name.substr(2);
    for (const TCommand* command : Commands()) {
        if (bare == command->Long) {
            word.Command = command;
            return true;
        }
        for (const TOption* option : command->Options)
            if (bare == option->Long) {
                word.Option = option;
                return true;
            }
    }
    return false;
}

// "--list ou --next", or "une commande" when most take it.
std::string CommandsTaking(const TOption* option) {
    std::string names;
    int count = 0;
    for (const TCommand* command : Commands())
        if (Takes(*command, option))
            names += std::string(count++ > 0 ? " ou " : "") + "--" + command->Long;
    return count <= 2 ? names : "une commande";
}

class TParser {
  public:
    TParser(const std::vector<std::string>& args, TRequest& request)
        : Args(args), Request(request) {}

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
        if (Request.Help || Request.Version) {
            Request.Command = nullptr;
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
        TWord word;
        if (!FindWord(arg.substr(0, equals), word))
            return "option inconnue " + Quoted(word.Name);
        const char* valueName = word.Command  ? word.Command->Value
                                : word.Option ? word.Option->Value
                                              : nullptr;
        std::string value;
        if (valueName == nullptr && equals != std::string::npos)
            return "l'option " + Quoted(word.Name) + " ne prend pas de valeur";
        if (valueName != nullptr) {
            if (equals != std::string::npos)
                value = arg.substr(equals + 1);
            else if (i + 2 < Args.size() && Args[i + 1] == "--") // --add -- -x
                value = Args[i += 2];
            else if (i + 1 < Args.size())
                value = Args[++i];
            else
                return "l'option " + Quoted(word.Name) + " attend " + valueName;
        }
        return Apply(word, value);
    }

    std::string Apply(const TWord& word, const std::string& value) {
        Request.Help |= word.Help;
        Request.Version |= word.Version;
        if (word.Command != nullptr) {
            if (Request.Command != nullptr)
                return "une seule commande à la fois (" + CommandName + " et " + word.Name + ")";
            Request.Command = word.Command;
            CommandName = word.Name;
            return word.Command->Apply(Request, value);
        }
        if (word.Option == nullptr)
            return {};
        const std::string group = word.Option->Group ? word.Option->Group : word.Option->Long;
        if (const auto given = Groups.find(group); given != Groups.end())
            return given->second.Name == word.Name
                       ? "l'option " + Quoted(word.Name) + " est donnée deux fois"
                       : Quoted(word.Name) + " ne va pas avec " + Quoted(given->second.Name);
        Groups[group] = word;
        Given.push_back(word);
        return word.Option->Apply(Request, value);
    }

    std::string CheckCombination() {
        const TCommand* command = Request.Command;
        for (const TWord& word : Given)
            if (command == nullptr || !Takes(*command, word.Option))
                return Quoted(word.Name) + (command != nullptr
                                                ? " ne va pas avec " + CommandName
                                                : " ne va qu'avec " + CommandsTaking(word.Option));
        if (command == nullptr || command->Required == nullptr || Groups.count(command->Required))
            return {};
        for (const TOption* option : command->Options)
            if (option->Group != nullptr && std::strcmp(option->Group, command->Required) == 0)
                return CommandName + " demande --" + option->Long + " " + option->Value;
        return {};
    }

    const std::vector<std::string>& Args;
    TRequest& Request;
    bool EndOfOptions = false;
    std::string CommandName;
    std::map<std::string, TWord> Groups; // the option given in each group
    std::vector<TWord> Given;
};

// The locale's charset, empty when it is UTF-8 or the C locale's ASCII, which
// terminals set up that way show as UTF-8 all the same.
std::string OtherCharset() {
    const std::string codeset = nl_langinfo(CODESET);
    return codeset == "UTF-8" || codeset == "ANSI_X3.4-1968" ? std::string() : codeset;
}

std::string Named(const char* name, const char* value) {
    return std::string("--") + name + (value != nullptr ? std::string(" ") + value : "");
}

// "vobrik --add MESSAGE (--at DATE | --in DURÉE) [--monthly | ...] [--dir DOSSIER]":
// the options of a group side by side, the group a command needs in brackets.
std::string UsageLine(const TCommand& command) {
    std::string line = "vobrik " + Named(command.Long, command.Value);
    std::vector<std::string> groups;
    std::map<std::string, std::string> alternatives;
    for (const TOption* option : command.Options) {
        const std::string group = option->Group ? option->Group : option->Long;
        std::string& text = alternatives[group];
        if (text.empty())
            groups.push_back(group);
        text += (text.empty() ? "" : " | ") + Named(option->Long, option->Value);
    }
    for (const std::string& group : groups) {
        const bool required = command.Required != nullptr && group == command.Required;
        line += std::string(required ? " (" : " [") + alternatives[group] + (required ? ")" : "]");
    }
    return line;
}

// An option's line of the help, its text in a column.
std::string HelpLine(std::string names, const char* help) {
    const size_t width = CharacterCount(names);
    names.append(width < 20 ? 20 - width : 1, ' ');
    return "  " + names + help + "\n";
}

} // namespace

bool IsHideArgument(int argc, const char* const argv[]) {
    return argc >= 2 && argv[1] != nullptr && UpperCaseAscii(argv[1]) == "HIDE";
}

TReply NotSaved(const TAlarmTable& table) {
    return Refusal(ExitRefused, "impossible d'enregistrer " + table.FileName());
}

std::string Quoted(const std::string& text) {
    return "« " + text + " »";
}

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
    reply.Err += "Essayez « vobrik --help » pour plus d'informations.\n";
    return false;
}

TReply HelpReply() {
    TReply reply;
    reply.Out = "Utilisation : vobrik [HIDE]\n";
    for (const TCommand* command : Commands())
        reply.Out += "              " + UsageLine(*command) + "\n";
    reply.Out += "\nSans option, lance Vobrik ou affiche la copie déjà lancée ; HIDE le lance "
                 "caché dans la zone de notification.\n"
                 "Une commande passe par le Vobrik lancé sur son dossier, quel que soit "
                 "l'environnement (cron, su, ssh) ; sinon elle travaille sur le dossier.\n"
                 "L'identifiant d'une alarme (8 caractères) reste le même tant qu'elle ne "
                 "change pas.\n\n";
    reply.Out += HelpLine("-h, --help", "affiche cette aide");
    reply.Out += HelpLine("-V, --version", "affiche la version");
    // Options every command takes come last, once.
    std::vector<const TOption*> shown, everywhere;
    for (const TCommand* command : Commands()) {
        reply.Out += HelpLine("    " + Named(command->Long, command->Value), command->Help);
        for (const TOption* option : command->Options) {
            if (CommandsTaking(option) == "une commande") {
                if (std::find(everywhere.begin(), everywhere.end(), option) == everywhere.end())
                    everywhere.push_back(option);
            } else if (std::find(shown.begin(), shown.end(), option) == shown.end()) {
                shown.push_back(option);
                reply.Out += HelpLine("    " + Named(option->Long, option->Value), option->Help);
            }
        }
    }
    for (const TOption* option : everywhere)
        reply.Out += HelpLine("    " + Named(option->Long, option->Value), option->Help);
    reply.Out += "\nCodes de sortie : 0 fait, 1 refusé (rien n'a changé), 2 erreur "
                 "d'utilisation, 3 pas de réponse à temps (rien n'a changé).\n"
                 "Bash complète les options et les identifiants ; voir aussi man vobrik.\n";
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
        return "permission refusée";
    case EPERM:
        return "opération non permise";
    case ENOENT:
        return "fichier ou dossier introuvable";
    case ENOSPC:
        return "plus de place sur le disque";
    case EROFS:
        return "système de fichiers en lecture seule";
    case EISDIR:
        return "c'est un dossier";
    case EIO:
        return "erreur d'entrée-sortie";
    case EBADF:
        return "descripteur fermé";
    case EPIPE:
        return "tube fermé";
    case ELOOP:
        return "lien symbolique en boucle, ou non suivi dans un dossier que d'autres peuvent "
               "modifier";
    case EBUSY:
        return "un autre programme est en train de l'écrire";
    case ENOTDIR:
        return "un élément du chemin n'est pas un dossier";
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

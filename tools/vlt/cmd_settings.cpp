// vlt settings [set NAME=VALUE...]: the applet's settings page on the command line, with the
// same lists (what the providers offer for your profile) and the same load and save rules.
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "applet/settings_store.h"
#include "applet_scope.h"
#include "ipc/ipc.h"
#include "shared/registry_key.h"

namespace vlt::cli {

const char* const kSettingsHelp =
    "usage: vlt settings\n"
    "       vlt settings set NAME=VALUE...\n"
    "\n"
    "Without arguments, shows every algorithm list with its entries ('*' marks the choice) and the\n"
    "current options; nothing is written.\n"
    "set changes the named settings together, as the applet's settings page saves them:\n"
    "  Encrypt, Hash, Signature, Exchange   an entry's text as listed (\"RC2  [128]\") or its number\n"
    "  DeleteAfterEncrypt, DeleteAfterDecrypt, AutoLock   0 or 1\n"
    "  TimeOut   the automatic-lock period in seconds (0 keeps the stored period)\n"
    "A running tray program is told the period. A value no provider offers, a number that is not\n"
    "one or an unknown name changes nothing and ends with status 2.\n";

namespace {

struct ListName {
    const char* name;
    applet::AlgorithmList applet::AlgorithmLists::*list;
};
constexpr ListName kListNames[] = {{"Encrypt", &applet::AlgorithmLists::encrypt},
                                   {"Hash", &applet::AlgorithmLists::hash},
                                   {"Signature", &applet::AlgorithmLists::signature},
                                   {"Exchange", &applet::AlgorithmLists::exchange}};

struct FlagName {
    const char* name;
    bool applet::SettingsChoices::*flag;
};
constexpr FlagName kFlagNames[] = {{"DeleteAfterEncrypt", &applet::SettingsChoices::deleteAfterEncrypt},
                                   {"DeleteAfterDecrypt", &applet::SettingsChoices::deleteAfterDecrypt},
                                   {"AutoLock", &applet::SettingsChoices::autoLock}};

bool sameName(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// An unsigned 32-bit number: decimal, or hexadecimal after 0x.
std::optional<DWORD> number(const std::string& text, bool hexAllowed) {
    const bool hex = hexAllowed && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > (hex ? 8u : 10u)) return std::nullopt;
    for (char c : digits)
        if (!(c >= '0' && c <= '9') && !(hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))) return std::nullopt;
    const unsigned long long value = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    if (value > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<DWORD>(value);
}

// The fill and the load of the page, without its first-visit save.
applet::SettingsChoices current() {
    applet::SettingsChoices choices;
    applet::fillAlgorithmLists(choices.lists, nullptr);
    applet::loadSettings(choices, nullptr);
    return choices;
}

void printList(const char* name, const applet::AlgorithmList& list) {
    std::printf("%s:\n", name);
    if (list.entries.empty()) std::printf("    (nothing offered)\n");
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        const auto& e = list.entries[i];
        std::printf("  %c %-24s 0x%08X\n", static_cast<int>(i) == list.selection ? '*' : ' ', e.text.c_str(), e.data);
    }
}

int show(const applet::SettingsChoices& c) {
    for (const ListName& l : kListNames) printList(l.name, c.lists.*l.list);
    for (const FlagName& f : kFlagNames) std::printf("%s: %d\n", f.name, c.*f.flag ? 1 : 0);
    std::printf("TimeOut: %u\n", static_cast<unsigned>(c.period));
    return kOk;
}

// One NAME=VALUE applied to the choices; an error message when it cannot be.
std::optional<std::string> apply(applet::SettingsChoices& c, const std::string& assignment) {
    const auto eq = assignment.find('=');
    if (eq == std::string::npos) return "'" + assignment + "' is not NAME=VALUE";
    const std::string name = assignment.substr(0, eq);
    const std::string value = assignment.substr(eq + 1);
    for (const ListName& l : kListNames) {
        if (!sameName(name, l.name)) continue;
        applet::AlgorithmList& list = c.lists.*l.list;
        int index = list.findText(value);
        if (index < 0)
            if (const auto n = number(value, true)) index = list.findData(*n);
        if (index < 0) return "no provider offers " + std::string(l.name) + " '" + value + "'";
        list.select(index);
        return std::nullopt;
    }
    for (const FlagName& f : kFlagNames) {
        if (!sameName(name, f.name)) continue;
        if (value != "0" && value != "1") return std::string(f.name) + " is 0 or 1, not '" + value + "'";
        c.*f.flag = value == "1";
        return std::nullopt;
    }
    if (sameName(name, "TimeOut")) {
        const auto seconds = number(value, false);
        if (!seconds) return "TimeOut takes seconds, not '" + value + "'";
        c.period = *seconds;
        return std::nullopt;
    }
    return "unknown setting '" + name + "'";
}

int set(const std::vector<std::string>& assignments) {
    if (assignments.empty()) return usageError("settings set needs NAME=VALUE", kSettingsHelp);
    applet::SettingsChoices choices;
    applet::fillAlgorithmLists(choices.lists, nullptr);
    // The first-visit save, the load and the changes commit together or not at all.
    RegistryTransaction transaction;
    applet::loadSettings(choices, [](const applet::SettingsChoices& now) { applet::writeSettings(now); });
    for (const std::string& a : assignments)
        if (const auto problem = apply(choices, a)) {
            std::fprintf(stderr, "vlt: %s; nothing was changed\n", problem->c_str());
            return kUsage;
        }
    if (!applet::writeSettings(choices) || transaction.Commit() != ERROR_SUCCESS) {
        std::fputs("vlt: the settings could not be saved\n", stderr);
        return kFailed;
    }
    if (ipc::enable()) applet::notifyTray(choices.period);
    return kOk;
}

}  // namespace

int cmdSettings(const std::vector<std::string>& words) {
    Args args(words, {}, {});
    if (!args.ok()) return usageError(args.error(), kSettingsHelp);
    AppletScope scope(frontendChoice(args));
    if (!scope.ok()) return kFailed;
    const auto& operands = args.operands();
    if (operands.empty()) return show(current());
    if (operands.front() != "set") return usageError("unknown settings command '" + operands.front() + "'", kSettingsHelp);
    return set(std::vector<std::string>(operands.begin() + 1, operands.end()));
}

}  // namespace vlt::cli

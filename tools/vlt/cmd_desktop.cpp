// vlt desktop install | uninstall: the file-manager actions, the MIME type of locked files and
// its hidden handler, for the current user.
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "cli.h"
#include "base/paths.h"
#include "desktop_templates.h"
#include "sys/files.h"

namespace vlt::cli {

const char* const kDesktopHelp =
    "usage: vlt desktop install | uninstall\n"
    "Adds (or removes) the \"V L T\" commands to the context menus of Dolphin, Nautilus, Nemo,\n"
    "Thunar and Caja for you, the MIME type of .Vtf files with its icon, a hidden handler\n"
    "so that opening a locked file unlocks it, and the autostart entries that start the tray\n"
    "program (VTTray32) and the profile wizard (VTInit32) at login. Files go below\n"
    "$XDG_DATA_HOME and $XDG_CONFIG_HOME; Thunar's own actions in uca.xml are kept.\n";

namespace {

namespace fs = std::filesystem;

// Thunar matches its patterns in the letter case given: a pattern for every spelling of
// ".vtf", so that "UnLock File" is offered on locked files only, whatever their case.
std::string thunarPatterns(const DesktopCommand& c) {
    const std::string ext = c.extensions;
    if (ext.empty() || ext[0] != '.') return "*";
    std::string out;
    for (unsigned mask = 0; mask < (1u << (ext.size() - 1)); ++mask) {
        std::string spelling = "*.";
        for (std::size_t i = 1; i < ext.size(); ++i)
            spelling +=
                static_cast<char>(mask & (1u << (i - 1)) ? std::toupper(static_cast<unsigned char>(ext[i])) : ext[i]);
        out += (out.empty() ? "" : ";") + spelling;
    }
    return out;
}

std::string env(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

std::string home() { return env("HOME", "/"); }
std::string dataHome() { return env("XDG_DATA_HOME", home() + "/.local/share"); }
std::string configHome() { return env("XDG_CONFIG_HOME", home() + "/.config"); }

std::string fill(std::string text, const std::string& shell, const DesktopCommand* command = nullptr) {
    auto replace = [&](const std::string& key, const std::string& value) {
        for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
            text.replace(at, key.size(), value);
    };
    replace("@VLT_SHELL@", shell);
    if (command) {
        replace("@VERB@", std::to_string(command->verb));
        replace("@NAME@", command->name);
        replace("@HELP@", command->help);
        replace("@EXTENSIONS@", command->extensions);
        replace("@PATTERNS@", thunarPatterns(*command));
    }
    return text;
}

bool write(const std::string& path, const std::string& text, mode_t mode = 0644) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    if (auto r = sys::writeFileAtomically(path, text.data(), text.size(), mode); !r) {
        std::fprintf(stderr, "vlt: %s\n", r.error().message.c_str());
        return false;
    }
    return true;
}

// vlt itself: the settings entry runs it, and its folder tells where the other programs are.
std::string selfPath() {
    const std::string self = base::programPath();
    return self.empty() ? "vlt" : self;
}

std::string settingsEntry() {
    std::string text = kSettingsEntry;
    const std::string self = selfPath();
    text.replace(text.find("@VLT@"), 5, self);
    return text;
}

std::string vltShellPath() {
    const std::string dir = fs::path(selfPath()).parent_path().string();
    // Installed, vlt-shell sits beside vlt; in a build tree it is in hosts/.
    for (const auto& candidate : {dir + "/vlt-shell", dir + "/../../hosts/vlt-shell"})
        if (access(candidate.c_str(), X_OK) == 0) return fs::weakly_canonical(candidate).string();
    return "vlt-shell";
}

// A program started at login: its build folder, its name, its entry's template and the
// placeholder there for its path.
struct LoginProgram {
    const char* buildDir;
    const char* name;
    const char* entryTemplate;
    const char* placeholder;
    const char* says;  // what the user is told once it is in place
};
const LoginProgram kLoginPrograms[] = {
    {"tray", "VTTray32", kTrayAutostart, "@VTTRAY@", "The VLT tray program starts with your next login"},
    {"wizard", "VTInit32", kWizardAutostart, "@VTINIT@", "The VLT profile wizard runs at your next login when needed"},
};

// In the system directory once installed, beside its folder of the build tree otherwise.
std::string programPath(const LoginProgram& p) {
    const std::string dir = fs::path(selfPath()).parent_path().string();
    const std::string installed = base::systemDir() + "/" + p.name;
    for (const auto& candidate : {installed, dir + "/../../" + p.buildDir + "/" + p.name})
        if (access(candidate.c_str(), X_OK) == 0) return fs::weakly_canonical(candidate).string();
    return installed;
}

std::string autostartPath(const LoginProgram& p) {
    std::string file = p.name;
    for (char& c : file) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return configHome() + "/autostart/" + file + ".desktop";
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Thunar keeps every custom action in one file: ours are replaced, the user's kept.
std::string withoutOurThunarActions(const std::string& xml) {
    static const std::regex ours(R"(\s*<action>(?:(?!</action>)[\s\S])*?<unique-id>vaultine-[0-9]+</unique-id>[\s\S]*?</action>)");
    return std::regex_replace(xml, ours, "");
}

bool mergeThunar(const std::string& shell, bool install) {
    const std::string path = configHome() + "/Thunar/uca.xml";
    std::string xml = readText(path);
    if (xml.empty()) {
        if (!install) return true;
        xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n";
    }
    xml = withoutOurThunarActions(xml);
    if (install) {
        std::string ours;
        for (const auto& c : kDesktopCommands) ours += fill(kThunarAction, shell, &c);
        const auto end = xml.rfind("</actions>");
        if (end == std::string::npos) {
            std::fprintf(stderr, "vlt: %s is not a Thunar action file; left as it is\n", path.c_str());
            return false;
        }
        xml.insert(end, ours);
    }
    return write(path, xml);
}

// Nautilus runs either the extension (with python3-nautilus) or the scripts, never both.
// VLT_NAUTILUS_PYTHON=1 or 0 overrides what is found (for packagers and tests).
bool nautilusPythonPresent() {
    if (const char* forced = std::getenv("VLT_NAUTILUS_PYTHON"); forced && *forced)
        return std::strcmp(forced, "0") != 0;
    std::error_code ec;
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu/nautilus/extensions-4", "/usr/lib/x86_64-linux-gnu/nautilus/extensions-3.0",
                            "/usr/lib/nautilus/extensions-4", "/usr/lib/nautilus/extensions-3.0"})
        if (fs::exists(std::string(dir) + "/libnautilus-python.so", ec)) return true;
    return false;
}

void refreshCaches() {
    // Best effort: the desktop picks the files up at its next start without these.
    (void)!std::system(("update-mime-database '" + dataHome() + "/mime' >/dev/null 2>&1").c_str());
    (void)!std::system(("update-desktop-database '" + dataHome() + "/applications' >/dev/null 2>&1").c_str());
}

std::string nautilusScripts() { return dataHome() + "/nautilus/scripts/V L T"; }
std::string cajaScripts() { return configHome() + "/caja/scripts/V L T"; }
std::string nautilusExtension() { return dataHome() + "/nautilus-python/extensions/vlt.py"; }

// Removes our scripts from a scripts folder, and the folder when nothing else is left in it.
void removeScripts(const std::string& folder) {
    std::error_code ec;
    for (const auto& c : kDesktopCommands) fs::remove(folder + "/" + c.name, ec);
    fs::remove(folder, ec);
}

// Dolphin's service menus, for Plasma 6 and Plasma 5; vlt.desktop is the single file of
// earlier versions.
const char* const kDolphinNames[] = {"vlt-1.desktop", "vlt-2.desktop", "vlt-3.desktop"};
const char* const kDolphinTemplates[] = {kDolphin1, kDolphin2, kDolphin3};
std::vector<std::string> dolphinDirs() {
    return {dataHome() + "/kio/servicemenus/", dataHome() + "/kservices5/ServiceMenus/"};
}

std::vector<std::string> plainFiles() {
    std::vector<std::string> out = {dataHome() + "/mime/packages/vaultine.xml",
                                    dataHome() + "/icons/hicolor/scalable/mimetypes/application-x-vaultine-locked.svg",
                                    dataHome() + "/applications/vlt-unlock.desktop",
                                    dataHome() + "/applications/vlt-settings.desktop",
                                    dataHome() + "/icons/hicolor/scalable/apps/vaultine-settings.svg",
                                    nautilusExtension()};
    for (const auto& dir : dolphinDirs()) {
        out.push_back(dir + "vlt.desktop");
        for (const char* name : kDolphinNames) out.push_back(dir + name);
    }
    for (const auto& c : kDesktopCommands)
        out.push_back(dataHome() + "/nemo/actions/vlt-" + std::to_string(c.verb) + ".nemo_action");
    return out;
}

int install() {
    const std::string shell = vltShellPath();
    bool ok = write(dataHome() + "/mime/packages/vaultine.xml", kMime) &&
              write(dataHome() + "/icons/hicolor/scalable/mimetypes/application-x-vaultine-locked.svg", kIcon) &&
              write(dataHome() + "/applications/vlt-unlock.desktop", fill(kUnlockEntry, shell)) &&
              write(dataHome() + "/applications/vlt-settings.desktop", settingsEntry()) &&
              write(dataHome() + "/icons/hicolor/scalable/apps/vaultine-settings.svg", kSettingsIcon);
    std::error_code ec;
    for (const auto& dir : dolphinDirs()) {
        fs::remove(dir + "vlt.desktop", ec);
        // Plasma 6 runs only service menus that are executable.
        for (std::size_t i = 0; i < std::size(kDolphinNames); ++i)
            ok = ok && write(dir + kDolphinNames[i], fill(kDolphinTemplates[i], shell), 0755);
    }
    const bool extension = nautilusPythonPresent();
    for (const auto& c : kDesktopCommands) {
        ok = ok && write(dataHome() + "/nemo/actions/vlt-" + std::to_string(c.verb) + ".nemo_action",
                         fill(kNemoAction, shell, &c));
        ok = ok && write(cajaScripts() + "/" + c.name, fill(kScript, shell, &c), 0755);
        if (!extension) ok = ok && write(nautilusScripts() + "/" + c.name, fill(kScript, shell, &c), 0755);
    }
    if (extension) {
        ok = ok && write(nautilusExtension(), fill(kNautilusPython, shell));
        removeScripts(nautilusScripts());
    } else {
        fs::remove(nautilusExtension(), ec);
    }
    ok = mergeThunar(shell, true) && ok;
    std::vector<std::string> started;
    for (const LoginProgram& p : kLoginPrograms) {
        std::string entry = p.entryTemplate;
        const std::string program = programPath(p);
        entry.replace(entry.find(p.placeholder), std::strlen(p.placeholder), program);
        ok = write(autostartPath(p), entry) && ok;
        if (access(program.c_str(), X_OK) != 0)
            std::fprintf(stderr, "vlt: %s is not there yet; it starts at login once it is installed\n", program.c_str());
        started.push_back(std::string(p.says) + " (" + program + ").");
    }
    refreshCaches();
    if (ok) std::printf("VLT's commands are in your file managers' context menus (using %s).\n", shell.c_str());
    if (ok)
        for (const auto& line : started) std::puts(line.c_str());
    if (ok) std::puts("\"VLT Certificate Settings\" is in your desktop's settings menu.");
    return ok ? kOk : kFailed;
}

int uninstall() {
    std::error_code ec;
    for (const auto& p : plainFiles()) fs::remove(p, ec);
    removeScripts(nautilusScripts());
    removeScripts(cajaScripts());
    for (const LoginProgram& p : kLoginPrograms) fs::remove(autostartPath(p), ec);
    const bool ok = mergeThunar("", false);
    refreshCaches();
    return ok ? kOk : kFailed;
}

}  // namespace

int cmdDesktop(const std::vector<std::string>& words) {
    if (words.size() != 1) return usageError("desktop takes install or uninstall", kDesktopHelp);
    if (words[0] == "install") return install();
    if (words[0] == "uninstall") return uninstall();
    return usageError("unknown desktop command '" + words[0] + "'", kDesktopHelp);
}

}  // namespace vlt::cli

// vlt cert list/import/show/delete: the certificate-store pages of the applet on the command line,
// running the same import and delete rules with the terminal's message boxes.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <optional>

#include "applet/certificate_store.h"
#include "applet/new_name_dialog.h"
#include "applet_scope.h"
#include "hosts/shell/run_outcome.h"
#include "registry/nls.h"
#include "shared/certificate_record.h"
#include "shared/file_header.h"
#include "win32/winuser.h"

namespace vlt::cli {

const char* const kCertHelp =
    "usage: vlt cert list [--system]\n"
    "       vlt cert import [--system] FILE.Vtp [--as NAME] [--yes|--no]\n"
    "       vlt cert show [--system] NAME\n"
    "       vlt cert delete [--system] NAME [--yes|--no]\n"
    "\n"
    "The certificates of other people: your personal store, or with --system the store every user\n"
    "of this machine shares (only root may change it).\n"
    "list    the names, newest first as the applet lists them\n"
    "import  stores the certificate of a profile file (.Vtp) under its holder's name. When another\n"
    "        certificate has that name, it asks whether to store it under another name: --as NAME\n"
    "        answers yes with that name, --yes answers yes and asks for the name (on a terminal;\n"
    "        elsewhere give --as), --no keeps the store as it is\n"
    "show    the holder's name, e-mail address, street, city and state\n"
    "delete  removes a certificate after asking (--yes answers)\n";

namespace {

const applet::StoreTraits& storeOf(const Args& args) {
    return applet::storeTraits(args.flag("--system") ? applet::StoreKind::System : applet::StoreKind::Personal);
}

const char* storeLabel(const applet::StoreTraits& store) {
    return store.kind == applet::StoreKind::System ? "system" : "personal";
}

// A name as typed (UTF-8) in the ANSI code page of the registry.
std::optional<std::string> ansiName(const std::string& typed) {
    auto ansi = registry::toAnsi(typed);
    if (!ansi) {
        std::fprintf(stderr, "vlt: the name '%s' cannot be stored: %s\n", typed.c_str(), ansi.error().message.c_str());
        return std::nullopt;
    }
    return *ansi;
}

// The new-name dialog's question on the terminal, whose front end asks only for passwords,
// choices and files. Scripted runs (--answers) get the dialog itself. An empty line cancels,
// as at every other prompt of the terminal.
std::optional<std::string> askNewName(bool scripted) {
    if (scripted) return applet::askNewName(nullptr);
    if (isatty(STDIN_FILENO) != 1) {
        std::fputs("vlt: nobody to ask for the new name: give it with --as NAME\n", stderr);
        return std::nullopt;
    }
    std::fprintf(stderr, "%s (empty to cancel) ", applet::kNewNameLabel);
    std::fflush(stderr);
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) return std::nullopt;
    return ansiName(line);
}

int list(const Args& args) {
    if (!args.operands().empty()) return usageError("cert list takes no names", kCertHelp);
    const auto listing = applet::listStore(storeOf(args));
    for (const std::string& name : listing.names) std::printf("%s\n", registry::fromAnsi(name).c_str());
    return kOk;
}

int import(const Args& args) {
    if (args.operands().size() != 1) return usageError("cert import takes one FILE", kCertHelp);
    const auto as = args.value("--as");
    if (as && args.flag("--no")) return usageError("--as answers yes; it cannot go with --no", kCertHelp);
    std::optional<std::string> newName;
    if (as && !(newName = ansiName(*as))) return kUsage;
    frontends::FrontendChoice choice = frontendChoice(args);
    if (as) choice.yes = true;
    AppletScope scope(choice);
    if (!scope.ok()) return kFailed;
    const applet::StoreTraits& store = storeOf(args);
    if (!applet::confirmMayChange(store, nullptr)) return kFailed;

    applet::ImportHooks hooks;
    hooks.askNewName = [&]() -> std::optional<std::string> {
        if (newName) return newName;
        return askNewName(choice.kind == frontends::FrontendChoice::Kind::Headless);
    };
    std::string storedAs;
    const std::string path = host::absolutePaths({args.operands().front()}).front();
    switch (applet::importCertificate(store, path, nullptr, hooks, &storedAs)) {
        case applet::ImportResult::Stored:
            std::printf("Stored as %s in the %s store.\n", registry::fromAnsi(storedAs).c_str(), storeLabel(store));
            return kOk;
        case applet::ImportResult::NoStore:
            std::fprintf(stderr, "vlt: the %s store cannot be opened\n", storeLabel(store));
            return kFailed;
        case applet::ImportResult::WriteFailed:
            std::fprintf(stderr, "vlt: the certificate could not be stored\n");
            return kFailed;
        case applet::ImportResult::Declined:
            std::fprintf(stderr, "vlt: nothing was stored in the %s store\n", storeLabel(store));
            return kFailed;
        default: return kFailed;  // the message box said why
    }
}

// The entry's Base record, or nothing after a message.
std::optional<CertificateRecord> storedRecord(const applet::StoreTraits& store, const std::string& typed,
                                              const std::string& name) {
    const auto bytes = readStoreEntry(store.store, name);
    if (!bytes) {
        std::fprintf(stderr, "vlt: the %s store has no certificate named '%s'\n", storeLabel(store), typed.c_str());
        return std::nullopt;
    }
    auto entry = parseCertificateStoreEntry(*bytes);
    auto record = entry ? parseCertificateRecord(entry->baseRecord) : Result<CertificateRecord>(entry.error());
    if (!record) {
        std::fprintf(stderr, "vlt: the certificate '%s' is damaged: %s\n", typed.c_str(), record.error().message.c_str());
        return std::nullopt;
    }
    return std::move(*record);
}

int show(const Args& args) {
    if (args.operands().size() != 1) return usageError("cert show takes one NAME", kCertHelp);
    const std::string& typed = args.operands().front();
    const auto name = ansiName(typed);
    if (!name) return kUsage;
    const auto record = storedRecord(storeOf(args), typed, *name);
    if (!record) return kFailed;
    const Identity& id = record->identity;
    const std::pair<const char*, const std::string*> rows[] = {{"Name:", &id.displayName},
                                                               {"E-mail :", &id.eMailId},
                                                               {"Street :", &id.street},
                                                               {"City :", &id.city},
                                                               {"State :", &id.state}};
    for (const auto& [label, value] : rows) std::printf("%-9s %s\n", label, registry::fromAnsi(*value).c_str());
    return kOk;
}

int deleteCertificate(const Args& args) {
    if (args.operands().size() != 1) return usageError("cert delete takes one NAME", kCertHelp);
    const std::string& typed = args.operands().front();
    const auto name = ansiName(typed);
    if (!name) return kUsage;
    const applet::StoreTraits& store = storeOf(args);
    if (!readStoreEntry(store.store, *name)) {
        std::fprintf(stderr, "vlt: the %s store has no certificate named '%s'\n", storeLabel(store), typed.c_str());
        return kFailed;
    }
    AppletScope scope(frontendChoice(args));
    if (!scope.ok() || !applet::confirmMayChange(store, nullptr)) return kFailed;
    if (MessageBoxA(nullptr, applet::kDeleteQuestion, kEmergencyCaption, MB_YESNO | MB_DEFBUTTON2) != IDYES) return kFailed;
    if (applet::deleteStoreEntry(store, *name) != ERROR_SUCCESS) {
        std::fprintf(stderr, "vlt: '%s' could not be deleted\n", typed.c_str());
        return kFailed;
    }
    std::printf("Deleted %s from the %s store.\n", typed.c_str(), storeLabel(store));
    return kOk;
}

}  // namespace

int cmdCert(const std::vector<std::string>& words) {
    if (words.empty()) return std::fputs(kCertHelp, stderr), kUsage;
    const Args args(std::vector<std::string>(words.begin() + 1, words.end()), {"--system"}, {"--as"});
    if (!args.ok()) return usageError(args.error(), kCertHelp);
    if (words.front() == "list") return list(args);
    if (words.front() == "import") return import(args);
    if (words.front() == "show") return show(args);
    if (words.front() == "delete") return deleteCertificate(args);
    return usageError("unknown cert command '" + words.front() + "'", kCertHelp);
}

}  // namespace vlt::cli

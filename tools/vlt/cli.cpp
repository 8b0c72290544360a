#include "cli.h"

#include <algorithm>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "base/wipe.h"
#include "frontends/tty/tty_frontend.h"
#include "hosts/shell/password_stdin.h"
#include "registry/nls.h"

namespace vlt::cli {

Args::Args(std::vector<std::string> words, std::vector<std::string> flags, std::vector<std::string> valued) {
    flags.insert(flags.end(), kCommonFlags.begin(), kCommonFlags.end());
    valued.insert(valued.end(), kCommonValued.begin(), kCommonValued.end());
    auto has = [](const std::vector<std::string>& list, const std::string& w) {
        return std::find(list.begin(), list.end(), w) != list.end();
    };
    bool operandsOnly = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string w = words[i];
        if (operandsOnly || w.size() < 2 || w[0] != '-') {
            m_operands.push_back(w);
            continue;
        }
        if (w == "--") {
            operandsOnly = true;
            continue;
        }
        std::string inlineValue;
        bool hasInline = false;
        if (const auto eq = w.find('='); eq != std::string::npos) {
            inlineValue = w.substr(eq + 1);
            w = w.substr(0, eq);
            hasInline = true;
        }
        if (has(flags, w) && !hasInline) {
            m_options.emplace_back(w, "");
        } else if (has(valued, w)) {
            if (hasInline) {
                m_options.emplace_back(w, inlineValue);
            } else if (i + 1 < words.size()) {
                m_options.emplace_back(w, words[++i]);
            } else {
                m_error = "option " + w + " needs a value";
                return;
            }
        } else {
            m_error = "unknown option " + w;
            return;
        }
    }
}

bool Args::flag(const std::string& name) const {
    return std::any_of(m_options.begin(), m_options.end(), [&](const auto& o) { return o.first == name; });
}

std::optional<std::string> Args::value(const std::string& name) const {
    for (auto it = m_options.rbegin(); it != m_options.rend(); ++it)
        if (it->first == name) return it->second;
    return std::nullopt;
}

Result<std::string> readPassword(const Args& args, const std::string& prompt, bool confirm) {
    std::string typed;
    if (args.flag("--password-stdin")) {
        auto line = host::readPasswordLine();
        if (!line) return line.error();
        typed = std::move(*line);
    } else {
        auto first = frontends::readHiddenLine(prompt);
        if (!first) return first.error();
        typed = std::move(*first);
        if (confirm) {
            auto again = frontends::readHiddenLine("Type it again: ");
            if (!again) return again.error();
            const bool same = *again == typed;
            base::secureWipe(*again);
            if (!same) {
                base::secureWipe(typed);
                return fail("the two passwords differ");
            }
        }
    }
    auto ansi = registry::toAnsi(typed);
    base::secureWipe(typed);
    if (!ansi) return fail("the password cannot be used: " + ansi.error().message);
    return ansi;
}

frontends::FrontendChoice frontendChoice(const Args& args) {
    frontends::FrontendChoice choice;
    choice.kind = args.value("--answers") ? frontends::FrontendChoice::Kind::Headless : frontends::FrontendChoice::Kind::Tty;
    choice.answers = args.value("--answers").value_or("");
    choice.transcript = args.value("--transcript").value_or("");
    if (args.flag("--yes")) choice.yes = true;
    if (args.flag("--no")) choice.yes = false;
    choice.outputName = args.value("--output-name");
    return choice;
}

int usageError(const std::string& message, const char* help) {
    std::fprintf(stderr, "vlt: %s\n\n%s", message.c_str(), help);
    return kUsage;
}

int finishOutput(int status) {
    // Buffered output fails only when flushed: a full disk or a closed pipe is an error too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int err = errno;
        std::fprintf(stderr, "vlt: cannot write to standard output: %s\n", std::strerror(err ? err : EIO));
        return kFailed;
    }
    return status;
}

int runInstead(std::vector<std::string> argvText, const Args& args, const std::vector<std::string>& flags) {
    for (const std::string& flag : flags)
        if (args.flag(flag)) argvText.push_back(flag);
    for (const char* option : {"--answers", "--transcript"}) {
        if (auto value = args.value(option)) {
            argvText.emplace_back(option);
            argvText.push_back(*value);
        }
    }
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    execv(argvText.front().c_str(), argv.data());
    std::fprintf(stderr, "vlt: cannot start %s: %s\n", argvText.front().c_str(), std::strerror(errno));
    return kFailed;
}

}  // namespace vlt::cli

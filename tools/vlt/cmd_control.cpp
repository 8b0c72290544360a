// vlt control: the applet's property sheet, through the control-panel runner of the system
// directory, as the tray's "&Settings" opens it.

#include <cstdio>

#include "applet/resources.h"
#include "base/paths.h"
#include "cli.h"
#include "shell/execute.h"

namespace vlt::cli {

const char* const kControlHelp =
    "usage: vlt control [--qt | --tty | --answers FILE [--transcript FILE]] [--yes|--no]\n"
    "Opens \"VLT Certificate Settings\": your profile, the personal and system certificate\n"
    "stores and the settings, in a window with a display, else in the terminal.\n";

namespace {}  // namespace

int cmdControl(const std::vector<std::string>& words) {
    Args args(words, {"--qt", "--tty"}, {});
    if (!args.ok()) return usageError(args.error(), kControlHelp);
    if (!args.operands().empty()) return usageError("unexpected " + args.operands().front(), kControlHelp);

    const std::string dir = base::systemDir();
    const std::string runner = dir + "/" + shell::kControlPanelRunner;
    return runInstead({runner, dir + "/" + applet::kAppletFileName}, args, {"--qt", "--tty", "--yes", "--no"});
}

}  // namespace vlt::cli

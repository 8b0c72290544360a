// What a command running the applet's pages needs: a front end for their message boxes and
// dialogs, and the applet's resources registered where the framework looks for them.
#pragma once

#include "cli.h"

namespace vlt::cli {

class AppletScope {
public:
    explicit AppletScope(const frontends::FrontendChoice& choice);
    // false, after a message, when no front end could be made.
    bool ok() const;

private:
    int m_argc = 1;
    char m_name[4] = "vlt";
    char* m_argv[2] = {m_name, nullptr};
    frontends::FrontendScope m_frontend;
};

}  // namespace vlt::cli

#include "applet_scope.h"

#include <cstdio>

#include "applet/templates.h"
#include "ui/framework.h"

namespace vlt::cli {

AppletScope::AppletScope(const frontends::FrontendChoice& choice) : m_frontend(choice, m_argc, m_argv) {
    applet::registerAppletResources(applet::appletModule());
    ui::AfxSetResourceHandle(applet::appletModule());
}

bool AppletScope::ok() const {
    if (!m_frontend.ok()) std::fprintf(stderr, "vlt: %s\n", m_frontend.error().c_str());
    return m_frontend.ok();
}

}  // namespace vlt::cli

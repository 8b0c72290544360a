// A sandboxed user at the applet: the fixtures' owner as the profile, the applet's application
// object (its resources and its name on message boxes), and what the transcript recorded.
#pragma once

#include <string>
#include <vector>

#include "applet/applet_app.h"
#include "frontends/headless/headless_frontend.h"
#include "support/world/world.h"

namespace vlt::applet {

using frontends::ControlRecord;
using frontends::TranscriptEntry;

class AppletWorld : public test::World {
public:
    // The system directory is a folder of the sandbox: programs the applet starts are looked
    // for there.
    AppletWorld();
    ~AppletWorld();
    std::string systemDir();
    // Runs the applet's sheet once with a script (headless syntax) for it and its pages.
    void runSheet(const std::string& script);

    // Message boxes in order.
    std::vector<TranscriptEntry> boxes() const { return ui().messageBoxes(); }
    // The last closing of dialog `resourceId`, with its controls as they were; for a property
    // page, as they were when its sheet closed.
    TranscriptEntry lastClosed(int resourceId) const;
    static const ControlRecord& control(const TranscriptEntry& dialog, int id);

private:
    CAppletApp m_app;
    std::vector<TranscriptEntry> m_closedPages;
};

}  // namespace vlt::applet

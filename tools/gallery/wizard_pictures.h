// VTInit32's wizard as each of its starts shows it: a creation (welcome, identity, password),
// the import the applet asks for, and the upgrade of a profile that has only the Base pair.
#pragma once

#include <filesystem>

#include "frontends/qt/qt_frontend.h"

namespace vlt::gallery {

// Writes VTInit32-create-ID.png, VTInit32-import-ID.png and VTInit32-update-ID.png, one per
// page of each variant, ID the page's template number. The sheets run against a registry of
// their own in a temporary folder, so nobody's profile is read or changed. The failures.
int drawWizardVariants(frontends::QtFrontend& frontend, const std::filesystem::path& out, bool sample);

}  // namespace vlt::gallery

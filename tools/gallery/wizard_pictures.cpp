#include "tools/gallery/wizard_pictures.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

#include "shared/certificate_record.h"
#include "shared/registry_binary.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "tools/gallery/sheet_shots.h"
#include "ui/framework.h"
#include "wizard/resources.h"
#include "wizard/templates.h"
#include "wizard/wizard_sheet.h"

namespace vlt::gallery {
namespace {

namespace fs = std::filesystem;

// The wizard's own sheet, drawn page by page once it has its window.
class ShotSheet final : public wizard::CWizardSheet {
public:
    ShotSheet(wizard::WizardMode mode, DWORD variant, SheetShots& shots)
        : wizard::CWizardSheet(mode, variant), m_shots(shots) {}
    BOOL OnInitDialog() override {
        const BOOL result = wizard::CWizardSheet::OnInitDialog();
        startShots(m_hWnd, m_shots);
        return result;
    }

private:
    SheetShots& m_shots;
};

// VLT_HOME, VLT_MACHINE_DIR and VLT_RUNTIME_DIR in a private temporary folder while it lives.
class ScratchRegistry {
public:
    ScratchRegistry() {
        std::string root = (fs::temp_directory_path() / "vlt-gallery-XXXXXX").string();
        if (mkdtemp(root.data()) == nullptr) return;
        m_root = root;
        for (const auto& [name, folder] :
             {std::pair{"VLT_HOME", "home"}, {"VLT_MACHINE_DIR", "machine"}, {"VLT_RUNTIME_DIR", "run"}}) {
            const fs::path dir = m_root / folder;
            std::error_code error;
            fs::create_directory(dir, error);
            fs::permissions(dir, fs::perms::owner_all, error);
            setenv(name, dir.c_str(), 1);
        }
    }
    ~ScratchRegistry() {
        std::error_code error;
        if (!m_root.empty()) fs::remove_all(m_root, error);
    }
    bool ok() const { return !m_root.empty(); }

private:
    fs::path m_root;
};

// A Base-only profile of "Alice Example", as an upgrade finds it.
bool writeBaseOnlyProfile() {
    RegistryKey profile;
    if (profile.Create(HKEY_CURRENT_USER, layout::kProfileKey) != ERROR_SUCCESS) return false;
    const Bytes record = buildCertificateRecord({{1, 2}, {"Alice Example", "alice@example.org", "", "", ""}});
    return setBinaryValue(profile.Handle(), layout::kExchangeBlob1, record) == ERROR_SUCCESS;
}

}  // namespace

int drawWizardVariants(frontends::QtFrontend& frontend, const fs::path& out, bool sample) {
    using wizard::WizardMode;
    ScratchRegistry registry;
    if (!registry.ok()) {
        std::fputs("vlt-gallery: no temporary folder for the wizard's registry\n", stderr);
        return 1;
    }
    const HINSTANCE module = wizard::wizardModule();
    wizard::registerWizardResources(module);
    const HINSTANCE previous = ui::AfxGetResourceHandle();
    ui::AfxSetResourceHandle(module);
    struct Variant {
        const char* name;
        WizardMode mode;
        DWORD startVariant;  // as InitState asks: 0 first login, 1 import
        std::vector<int> pages;
    };
    const Variant variants[] = {
        {"create", WizardMode::Create, 0, {wizard::kWelcomePage, wizard::kProfilePage, wizard::kFinishPage}},
        {"import", WizardMode::Create, 1, {wizard::kWelcomePage}},
        {"update", WizardMode::Update, 0, {wizard::kWelcomePage, wizard::kFinishPage}},
    };
    int failures = 0;
    for (const Variant& v : variants) {
        if (v.mode == WizardMode::Update && !writeBaseOnlyProfile()) {
            std::fputs("vlt-gallery: the wizard's sample profile cannot be written\n", stderr);
            ++failures;
            continue;
        }
        SheetShots shots{.frontend = &frontend,
                         .out = out,
                         .prefix = std::string("VTInit32-") + v.name,
                         .ids = v.pages,
                         .sample = sample};
        ShotSheet sheet(v.mode, v.startVariant, shots);
        sheet.DoModal();
        failures += shots.failures + static_cast<int>(shots.ids.size() - shots.next);
    }
    ui::AfxSetResourceHandle(previous);
    return failures;
}

}  // namespace vlt::gallery

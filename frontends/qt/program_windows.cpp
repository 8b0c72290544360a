#include "frontends/qt/program_windows.h"

#include "frontends/qt/qt_frontend.h"

namespace vlt::frontends {
namespace {

class QtWindows final : public ProgramFrontend {
public:
    QtWindows(int& argc, char** argv, bool keepRunning) : m_app(argc, argv) {
        if (keepRunning) m_app.keepRunningWithoutWindows();
    }
    ui::Frontend& frontend() override { return m_frontend; }

private:
    QtApplication m_app;
    QtFrontend m_frontend;  // after the application, gone before it
};

}  // namespace

FrontendFactory qtWindows(bool keepRunningWithoutWindows) {
    return [keepRunningWithoutWindows](int& argc, char** argv) -> std::unique_ptr<ProgramFrontend> {
        return std::make_unique<QtWindows>(argc, argv, keepRunningWithoutWindows);
    };
}

}  // namespace vlt::frontends

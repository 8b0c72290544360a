// The tray's Qt pieces need a QApplication on the main thread, off screen (VLT_TEST_QPA=xcb:
// on a real X server), and a private D-Bus made before Qt D-Bus connects to any bus.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "bus.h"

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsEmpty("VLT_TEST_QPA")) qputenv("QT_QPA_PLATFORM", qgetenv("VLT_TEST_QPA"));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    const bool bus = vlt::test::startPrivateBus();
    int status = 0;
    {
        QApplication app(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        if (!bus) std::fprintf(stderr, "no private D-Bus (dbus-daemon): the bus tests are skipped\n");
        status = RUN_ALL_TESTS();
    }
    vlt::test::stopPrivateBus();
    return status;
}

// The Qt front end's tests need a QApplication on the main thread; off screen unless the
// environment asks for a platform (VLT_TEST_QPA=xcb: the pass on a real X server).
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsEmpty("VLT_TEST_QPA")) qputenv("QT_QPA_PLATFORM", qgetenv("VLT_TEST_QPA"));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    // listing the tests (ctest does it to find them) needs no windows
    std::unique_ptr<QApplication> app;
    if (!::testing::GTEST_FLAG(list_tests)) app = std::make_unique<QApplication>(argc, argv);
    return RUN_ALL_TESTS();
}

// gtest main for every unit-test binary: sets up the framework's Qt backend
// (Qt's offscreen platform under CTest) before the tests run.
#include "framework/WinApp.h"
#include "framework/qt/QtPort.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Unit tests never need a display, also when listed outside CTest.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    AfxSetPort(&AfxQtPort());
    AfxInitBackend(argc, argv);
    return RUN_ALL_TESTS();
}

// gtest main of the unit tests on the Qt backend: sets up the framework's Qt
// backend (Qt's offscreen platform under CTest) before the tests run.
#include "framework/WinApp.h"
#include "framework/qt/QtPort.h"
#include "framework/qt/QtInput.h"
#include "tests/support/TestBackend.h"

#include <gtest/gtest.h>

#include <cstdlib>

bool TestBoxesWaitForTheUser() { return true; }
bool TestToolkitHasOptions() { return true; }

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Unit tests never need a display, also when listed outside CTest.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    AfxSetPort(&AfxQtPort());
    AfxSetInputSimulator(&AfxQtInput());
    AfxInitBackend(argc, argv);
    return RUN_ALL_TESTS();
}

// gtest main for the second run of the backend-independent tests: sets up the
// framework's console backend, with no display and no toolkit.
#include "framework/WinApp.h"
#include "framework/console/ConsoleInput.h"
#include "framework/console/ConsolePort.h"
#include "tests/support/TestBackend.h"

#include <gtest/gtest.h>

bool TestBoxesWaitForTheUser() { return false; }
bool TestToolkitHasOptions() { return false; }

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    AfxSetPort(&AfxConsolePort());
    AfxSetInputSimulator(&AfxConsoleInput());
    AfxInitBackend(argc, argv);
    return RUN_ALL_TESTS();
}

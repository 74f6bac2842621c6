// gtest main of the backend-independent tests on the framework's Win32 port:
// real windows and the system's controls, under Windows or Wine.
#include "framework/WinApp.h"
#include "framework/win32/Win32Input.h"
#include "framework/win32/Win32Port.h"
#include "tests/support/TestBackend.h"

#include <gtest/gtest.h>

bool TestBoxesWaitForTheUser() { return true; }
bool TestToolkitHasOptions() { return false; }

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    AfxSetPort(&AfxWin32Port());
    AfxSetInputSimulator(&AfxWin32Input());
    AfxInitBackend(argc, argv);
    return RUN_ALL_TESTS();
}

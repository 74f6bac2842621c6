// What sets the backend of a test binary apart, for the few tests that need
// a desktop's behaviour. Each gtest main answers for its own backend.
#pragma once

// A message box runs a loop of its own until it is closed (on the console it
// is answered at once, so nothing can happen while it is open).
bool TestBoxesWaitForTheUser();

// The toolkit takes options of its own with a value in the next argument
// (Qt's -platform NAME); the console has no toolkit and none.
bool TestToolkitHasOptions();

// What a user would do to the Qt backend's widgets, for tests: beside the
// port, in a library of its own that only tests link. Free of Qt itself.
#pragma once

#include "framework/Testing.h"

CAfxInputSimulator& AfxQtInput();

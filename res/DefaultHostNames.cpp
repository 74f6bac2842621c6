// The five host names of a new list. The engine falls back on them when no
// list is stored; the Edit Names dialog's Restore Default puts them back.
#include "res/resource.h"

// Public servers that answer plain HTTP on port 80.
const char* const g_aszDefaultHostNames[5] = {
    "example.com",
    "neverssl.com",
    "1.1.1.1",
    "detectportal.firefox.com",
    "captive.apple.com",
};

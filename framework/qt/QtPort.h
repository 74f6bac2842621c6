// The Qt Widgets backend of the framework. Free of Qt itself, so that the
// file that picks the backend for an executable can include it.
#pragma once

#include "framework/Port.h"

CAfxPort& AfxQtPort();

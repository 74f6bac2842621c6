// The parts of the program's resource table, each kept in its own source file.
#pragma once

#include "framework/Resources.h"

#include <span>

std::span<const AFX_DLGTEMPLATE> ProdletDialogs();
std::span<const AFX_ICON> ProdletIcons();
std::span<const AFX_CURSOR> ProdletCursors();

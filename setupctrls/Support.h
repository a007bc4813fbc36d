// Setup support: the non-visual supporter, the help, technical-support and
// installed-cards windows it builds, and the RTF reader behind the help text.
#pragma once

#include "RtfReader.h"
#include "SetupSupporter.h"
#include "SupportWindows.h"

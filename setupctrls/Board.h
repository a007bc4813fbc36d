// The board view: the photograph control, its highlight circles and their
// popup windows.
#pragma once

#include "BoardHighlight.h"
#include "BoardImage.h"
#include "PopupForm.h"

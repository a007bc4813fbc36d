// The board view: the photograph control and what it carries.
#pragma once

#include "BoardImage.h"

#include "MainUnit.h"

TMainUnit MainUnit;

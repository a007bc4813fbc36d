// The jumper and switch controls, drawn with the shared oriented painting.
#pragma once

#include "DipSwitch.h"
#include "ThreeJumper.h"
#include "TwoJumper.h"

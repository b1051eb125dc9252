// What this process can show: its window station and desktop.
#pragma once
#include "launcher/config/ErrorRoute.h"

// Binds the few USER32 functions it needs at run time, so that asking
// costs nothing until a fatal error is about to be shown.
DisplayFacts processDisplayFacts();

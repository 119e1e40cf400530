// The band window's class: registered once per module load and unregistered,
// with its brush, when the module is unloaded.
#pragma once

#include <windows.h>

// True when the class exists for this module (registered now or before).
bool EnsureBandWindowClass();
void UnregisterBandWindowClass();

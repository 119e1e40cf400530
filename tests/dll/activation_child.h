// The child side of the activation test: a process of its own that creates
// the band by class id only, the way the shell does (registry, InprocServer32).
#pragma once

#include <windows.h>

inline constexpr char kActivateBandArgument[] = "--activate-band";

// Exit codes other than an HRESULT from CoCreateInstance.
inline constexpr int kChildOk = 0;
inline constexpr int kChildWrongModule = 2;
inline constexpr int kChildNoPrimaryIdentity = 3;

// Returns the process exit code: kChildOk, a failure HRESULT, or one of the
// codes above.
int RunActivationChild();

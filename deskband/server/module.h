// Module-wide state: the module handle and the counters that decide when the
// DLL may be unloaded.
#pragma once

#include <windows.h>

extern HINSTANCE g_hInstance;

// Live class factories plus outstanding LockServer(TRUE) calls.
extern volatile LONG g_cServerLocks;
// Sum of the reference counts of every live band object.
extern volatile ULONG g_cObjRefs;

// The counters move only through interlocked operations, so that
// DllCanUnloadNow can be asked from any COM thread.
inline void ModuleObjRefAdd() {
    InterlockedIncrement(reinterpret_cast<volatile LONG*>(&g_cObjRefs));
}
inline void ModuleObjRefDrop() {
    InterlockedDecrement(reinterpret_cast<volatile LONG*>(&g_cObjRefs));
}
inline void ModuleServerLockAdd() {
    InterlockedIncrement(&g_cServerLocks);
}
inline void ModuleServerLockDrop() {
    InterlockedDecrement(&g_cServerLocks);
}

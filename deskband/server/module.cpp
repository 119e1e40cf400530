#include "server/module.h"

#include "window/window_class.h"

HINSTANCE g_hInstance = nullptr;
volatile LONG g_cServerLocks = 0;
volatile ULONG g_cObjRefs = 0;

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pvReserved) {
    if (dwReason == DLL_PROCESS_ATTACH) {
        g_hInstance = hInstance;
        DisableThreadLibraryCalls(hInstance);
    } else if (dwReason == DLL_PROCESS_DETACH && pvReserved == nullptr) {
        // Unloaded by FreeLibrary while the process goes on: a later load must
        // not find our class still pointing at a window procedure that is gone.
        UnregisterBandWindowClass();
    }
    return TRUE;
}

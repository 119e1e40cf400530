#include "window/registered_messages.h"

#include "server/names.h"

UINT g_uHideBandMsg = 0;
UINT g_uChangeIconMsg = 0;

void RegisterBandMessages() {
    g_uHideBandMsg = RegisterWindowMessageW(names::kHideBandMessage);
    g_uChangeIconMsg = RegisterWindowMessageW(names::kChangeIconMessage);
}

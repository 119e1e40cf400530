// The two messages other processes send the band window. An id of 0 means the
// registration failed; it then matches no message.
#pragma once

#include <windows.h>

extern UINT g_uHideBandMsg;
extern UINT g_uChangeIconMsg;

void RegisterBandMessages();

inline bool IsRegisteredMessage(UINT uMsg, UINT uRegistered) {
    return uRegistered != 0 && uMsg == uRegistered;
}

// Self-registration as an in-process server in the desk band category.
#pragma once

#include <windows.h>

HRESULT RegisterServerKeys();
HRESULT RegisterDeskBandCategory();

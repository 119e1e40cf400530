#include "server/registration.h"

#include <comcat.h>
#include <olectl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "server/format.h"
#include "server/guids.h"
#include "server/module.h"
#include "server/names.h"
#include "server/reg_key.h"
#include "server/trace.h"

namespace {

// String values are stored with their terminator counted in the length.
LSTATUS SetStringValue(HKEY hkey, const wchar_t* valueName, const wchar_t* text) {
    const DWORD cb = static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(wchar_t));
    return RegSetValueExW(hkey, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), cb);
}

HRESULT ClassKeyPath(const wchar_t* format, wchar_t (&path)[kGuidStringChars]) {
    wchar_t clsid[kGuidStringChars] = {};
    StringFromGUID2(CLSID_VantrelDeskBand, clsid, kGuidStringChars);
    return FormatToBuffer(path, kGuidStringChars, format, clsid);
}

} // namespace

HRESULT RegisterServerKeys() {
    wchar_t path[kGuidStringChars] = {};
    HRESULT hr = ClassKeyPath(names::kClassKeyFormat, path);
    if (FAILED(hr)) {
        return hr;
    }
    {
        RegKey classKey;
        LSTATUS status = classKey.Create(HKEY_CLASSES_ROOT, path, KEY_WRITE);
        if (status != ERROR_SUCCESS) {
            return HRESULT_FROM_WIN32(status);
        }
        status = SetStringValue(classKey.Get(), nullptr, names::kDisplayName);
        if (status != ERROR_SUCCESS) {
            return HRESULT_FROM_WIN32(status);
        }
    }

    hr = ClassKeyPath(names::kInprocServerKeyFormat, path);
    if (FAILED(hr)) {
        return hr;
    }
    RegKey serverKey;
    LSTATUS status = serverKey.Create(HKEY_CLASSES_ROOT, path, KEY_WRITE);
    if (status != ERROR_SUCCESS) {
        return HRESULT_FROM_WIN32(status);
    }
    wchar_t modulePath[MAX_PATH] = {};
    const DWORD cchPath = GetModuleFileNameW(g_hInstance, modulePath, MAX_PATH);
    if (cchPath >= MAX_PATH) {
        // A cut-short path would point COM at some other file: register none.
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    if (cchPath != 0) {
        status = SetStringValue(serverKey.Get(), nullptr, modulePath);
        if (status != ERROR_SUCCESS) {
            return HRESULT_FROM_WIN32(status);
        }
    }
    status = SetStringValue(serverKey.Get(), names::kThreadingModelValue, names::kThreadingModel);
    return HRESULT_FROM_WIN32(status);
}

HRESULT RegisterDeskBandCategory() {
    ICatRegister* pCatRegister = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ICatRegister, reinterpret_cast<void**>(&pCatRegister));
    if (FAILED(hr)) {
        return hr;
    }
    CATID catid = CATID_DeskBand;
    hr = pCatRegister->RegisterClassImplCategories(CLSID_VantrelDeskBand, 1, &catid);
    pCatRegister->Release();
    return hr;
}

STDAPI DllRegisterServer() {
    TraceMessage("DllRegisterServer In");
    HRESULT hr = RegisterServerKeys();
    if (SUCCEEDED(hr)) {
        hr = RegisterDeskBandCategory();
    }
    TraceMessage("DllRegisterServer Out");
    return SUCCEEDED(hr) ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
    TraceMessage("DllUnregisterServer In");
    wchar_t path[kGuidStringChars] = {};
    HRESULT hr = ClassKeyPath(names::kClassKeyFormat, path);
    if (SUCCEEDED(hr) && SHDeleteKeyW(HKEY_CLASSES_ROOT, path) != ERROR_SUCCESS) {
        hr = SELFREG_E_CLASS;
    }
    TraceMessage("DllUnregisterServer Out");
    return SUCCEEDED(hr) ? S_OK : SELFREG_E_CLASS;
}

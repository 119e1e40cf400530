/* The proxy/stub module for ITrayDeskBand: the widl-generated stubless
   proxy, its interface ids and its DLL routines (class object and
   self-registration through rpcrt4). */
#define USE_STUBLESS_PROXY
#include <objbase.h>
#include <rpcproxy.h>

/* rpcrt4 exports these; MinGW's unknwn.h declares them for C++ only. */
HRESULT STDMETHODCALLTYPE IUnknown_QueryInterface_Proxy(IUnknown *This, REFIID riid,
                                                        void **ppvObject);
ULONG STDMETHODCALLTYPE IUnknown_AddRef_Proxy(IUnknown *This);
ULONG STDMETHODCALLTYPE IUnknown_Release_Proxy(IUnknown *This);

#include "tray_desk_band_p.c"

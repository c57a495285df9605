// The software DirectInput 7's Win32: results, cooperative levels, data
// formats, properties and the interfaces IDirectInput7A and
// IDirectInputDevice7A, with the keys' names (dik.h). win32_soft.h includes it.
#pragma once

#include "platform/dik.h"
#include "platform/soft/win32_types.h"

#define S_FALSE ((HRESULT)1)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define E_NOTIMPL ((HRESULT)0x80004001)
#define E_ACCESSDENIED ((HRESULT)0x80070005)

#define DI_OK S_OK
#define DI_BUFFEROVERFLOW S_FALSE
#define DI_PROPNOEFFECT S_FALSE
#define DIERR_INVALIDPARAM E_INVALIDARG
#define DIERR_NOINTERFACE E_NOINTERFACE
#define DIERR_UNSUPPORTED E_NOTIMPL
#define DIERR_OTHERAPPHASPRIO E_ACCESSDENIED
#define DIERR_NOAGGREGATION CLASS_E_NOAGGREGATION
#define DIERR_DEVICENOTREG ((HRESULT)0x80040154)
#define DIERR_OLDDIRECTINPUTVERSION ((HRESULT)0x8007047E)
#define DIERR_BETADIRECTINPUTVERSION ((HRESULT)0x80070481)
#define DIERR_NOTINITIALIZED ((HRESULT)0x80070015)
#define DIERR_INPUTLOST ((HRESULT)0x8007001E)
#define DIERR_ACQUIRED ((HRESULT)0x800700AA)
#define DIERR_NOTACQUIRED ((HRESULT)0x8007000C)
#define DIERR_OBJECTNOTFOUND ((HRESULT)0x80070002)
#define DIERR_NOTBUFFERED ((HRESULT)0x80040207)

#define DISCL_EXCLUSIVE 0x00000001
#define DISCL_NONEXCLUSIVE 0x00000002
#define DISCL_FOREGROUND 0x00000004
#define DISCL_BACKGROUND 0x00000008
#define DISCL_NOWINKEY 0x00000010

#define DIDF_ABSAXIS 0x00000001
#define DIDF_RELAXIS 0x00000002
#define DIDFT_RELAXIS 0x00000001
#define DIDFT_ABSAXIS 0x00000002
#define DIDFT_AXIS 0x00000003
#define DIDFT_PSHBUTTON 0x00000004
#define DIDFT_TGLBUTTON 0x00000008
#define DIDFT_BUTTON 0x0000000C
#define DIDFT_ANYINSTANCE 0x00FFFF00
#define DIDFT_OPTIONAL 0x80000000
#define DIDFT_MAKEINSTANCE(n) ((WORD)(n) << 8)

#define DIPH_DEVICE 0
#define DIPH_BYOFFSET 1
// Windows names properties by small numbers made into GUID references that
// are never read; here they are references into a table, so that no
// reference is bound to an address that holds no GUID.
extern const GUID kSoftDirectInputProperties[16];
#define MAKEDIPROP(prop) (kSoftDirectInputProperties[prop])
#define DIPROP_BUFFERSIZE MAKEDIPROP(1)
#define DIPROP_GRANULARITY MAKEDIPROP(3)

typedef struct DIDEVICEOBJECTDATA {
    DWORD dwOfs;
    DWORD dwData;
    DWORD dwTimeStamp;
    DWORD dwSequence;
} DIDEVICEOBJECTDATA, *LPDIDEVICEOBJECTDATA;

typedef struct _DIOBJECTDATAFORMAT {
    const GUID* pguid;
    DWORD dwOfs;
    DWORD dwType;
    DWORD dwFlags;
} DIOBJECTDATAFORMAT, *LPDIOBJECTDATAFORMAT;

typedef struct _DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwObjSize;
    DWORD dwFlags;
    DWORD dwDataSize;
    DWORD dwNumObjs;
    LPDIOBJECTDATAFORMAT rgodf;
} DIDATAFORMAT, *LPDIDATAFORMAT;
typedef const DIDATAFORMAT* LPCDIDATAFORMAT;

typedef struct DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;
    DWORD dwObj;
    DWORD dwHow;
} DIPROPHEADER, *LPDIPROPHEADER;
typedef const DIPROPHEADER* LPCDIPROPHEADER;

typedef struct DIPROPDWORD {
    DIPROPHEADER diph;
    DWORD dwData;
} DIPROPDWORD, *LPDIPROPDWORD;

struct IDirectInputDevice7A : IUnknown {
    virtual HRESULT GetProperty(REFGUID rguidProp, LPDIPROPHEADER pdiph) = 0;
    virtual HRESULT SetProperty(REFGUID rguidProp, LPCDIPROPHEADER pdiph) = 0;
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    virtual HRESULT GetDeviceState(DWORD cbData, LPVOID lpvData) = 0;
    virtual HRESULT GetDeviceData(DWORD cbObjectData, LPDIDEVICEOBJECTDATA rgdod, LPDWORD pdwInOut,
                                  DWORD dwFlags) = 0;
    virtual HRESULT SetDataFormat(LPCDIDATAFORMAT lpdf) = 0;
    virtual HRESULT SetCooperativeLevel(HWND hwnd, DWORD dwFlags) = 0;

protected:
    ~IDirectInputDevice7A() = default;
};

struct IDirectInput7A : IUnknown {
    virtual HRESULT CreateDeviceEx(REFGUID rguid, REFIID riid, LPVOID* pvOut, IUnknown* lpUnknownOuter) = 0;

protected:
    ~IDirectInput7A() = default;
};
// DirectInputCreateEx is reached through LoadLibraryA("DINPUT.DLL") and
// GetProcAddress, as the runtime asks for it.

// Results and flags that the software DirectInput gives beyond those the
// runtime tests for.
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define DIERR_OUTOFMEMORY E_OUTOFMEMORY
#define DI_NOEFFECT S_FALSE
#define DIGDD_PEEK 0x00000001

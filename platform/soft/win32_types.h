// The Win32 basics that every library's header of the software layer shares:
// calling conventions, scalar and handle types, rectangles and points, and
// COM's GUIDs, result codes and IUnknown. The library headers (win32_kernel.h
// and the others) include it; nothing else does.
#pragma once

#include <cstddef>
#include <cstdint>

// Calling conventions have no meaning on this platform.
#define WINAPI
#define CALLBACK
#define APIENTRY

// Scalar types, sized as on 32-bit and 64-bit Windows alike.
typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef int INT;
typedef int64_t LONGLONG;
typedef short SHORT;
typedef char CHAR;
typedef intptr_t INT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t UINT_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef size_t SIZE_T;
typedef DWORD COLORREF;
typedef LONG HRESULT;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef DWORD* LPDWORD;
typedef const char* LPCSTR;
typedef char* LPSTR;

#define TRUE 1
#define FALSE 0

// Handles: distinct opaque pointer types, as with STRICT on Windows. HANDLE and
// HGDIOBJ are untyped there too, so any GDI object converts to HGDIOBJ.
#define SOFT_DECLARE_HANDLE(name) \
    struct name##__;              \
    typedef struct name##__* name
SOFT_DECLARE_HANDLE(HWND);
SOFT_DECLARE_HANDLE(HDC);
SOFT_DECLARE_HANDLE(HPEN);
SOFT_DECLARE_HANDLE(HBRUSH);
SOFT_DECLARE_HANDLE(HINSTANCE);
SOFT_DECLARE_HANDLE(HICON);
SOFT_DECLARE_HANDLE(HMENU);
#undef SOFT_DECLARE_HANDLE
typedef HINSTANCE HMODULE;
typedef void* HANDLE;
typedef void* HGDIOBJ;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT;

typedef HICON HCURSOR;
typedef WORD ATOM;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef LONG* LPLONG;
typedef RECT* LPRECT;
typedef POINT* LPPOINT;

typedef INT_PTR (*FARPROC)();

typedef union _LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    };
    LONGLONG QuadPart;
} LARGE_INTEGER;

struct _SECURITY_ATTRIBUTES;
typedef struct _SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;
struct _OVERLAPPED;
typedef struct _OVERLAPPED* LPOVERLAPPED;
struct _devicemodeA;
typedef struct _devicemodeA DEVMODEA;

#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))

// ---- COM ------------------------------------------------------------------

typedef struct _GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} GUID;
typedef GUID IID;
typedef const IID& REFIID;
typedef const GUID& REFGUID;

#define S_OK ((HRESULT)0)
#define E_NOINTERFACE ((HRESULT)0x80004002)
#define E_POINTER ((HRESULT)0x80004003)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

// A COM interface is an abstract class with the methods the runtime calls,
// under their Windows names and argument orders.
struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

// The refusal of an aggregating outer object, which the software DirectDraw
// and DirectInput give beyond the results the runtime tests for.
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110)

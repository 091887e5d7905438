// The basic Win32 types, result codes and helpers that the platform stand-ins share.
// Values and sizes follow the published 64-bit Windows headers where the program can observe them.
#pragma once

#include <cstdint>

using BOOL = int;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = unsigned int;
using LONG = int32_t;
using ULONG = uint32_t;
using HRESULT = int32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using LPVOID = void*;
using LPCSTR = const char*;
using ATOM = uint16_t;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define WINAPI
#define CALLBACK

// Opaque handles: each points at a private record of the stand-in that made it.
struct Win32Window;
struct Win32Instance;
struct Win32Cursor;
using HWND = Win32Window*;
using HINSTANCE = Win32Instance*;
using HMODULE = HINSTANCE;
using HCURSOR = Win32Cursor*;
using HICON = void*;
using HBRUSH = void*;
using HMENU = void*;
using HANDLE = void*;

struct RECT {
  LONG left, top, right, bottom;
};

struct POINT {
  LONG x, y;
};

struct GUID {
  uint32_t Data1;
  uint16_t Data2, Data3;
  uint8_t Data4[8];
};
using LPCGUID = const GUID*;

struct IUnknown;
using LPUNKNOWN = IUnknown*;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

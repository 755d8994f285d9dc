#pragma once

#include <cstdint>

// The handle types of the Windows interface, declared as the system headers
// declare them, so that headers of windowed classes can name them without
// bringing windows.h (and its macros) into every file that includes them.
struct HWND__;
struct HDC__;
struct HRGN__;
struct HFONT__;
struct HINSTANCE__;
struct HICON__;
typedef HWND__* HWND;
typedef HDC__* HDC;
typedef HRGN__* HRGN;
typedef HFONT__* HFONT;
typedef HINSTANCE__* HINSTANCE;
typedef HICON__* HICON;
typedef HICON HCURSOR;

// Message parameters as the window procedure receives them (WPARAM, LPARAM)
// and its result (LRESULT): pointer-sized.
using MessageWParam = std::uintptr_t;
using MessageLParam = std::intptr_t;
using MessageResult = std::intptr_t;

#pragma once

// The one way into the Windows headers for the files in this folder; no
// header outside it includes them. Windows spells many everyday names as
// macros (DeleteFile, ReplaceFile, MessageBox, MB_OK, IDOK, ...); those that
// name something of this program are undone here, so the file that includes
// this one can still include the program's own headers after it.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

// winsock2.h before windows.h, or windows.h pulls in the old winsock.h.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <shellapi.h>
#include <winioctl.h>
// clang-format on

// Functions of FileOps.h and IniFile.h.
#undef DeleteFile
#undef ReplaceFile
#undef CopyFile
#undef GetPrivateProfileString

// Message-box styles and answers of MessageHooks.h: the program's values
// are the Windows ones, so flags pass to MessageBoxW unchanged.
#undef MB_OK
#undef MB_OKCANCEL
#undef MB_YESNO
#undef MB_ICONERROR
#undef MB_ICONEXCLAMATION
#undef IDOK
#undef IDCANCEL
#undef IDYES
#undef IDNO

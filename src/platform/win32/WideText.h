#pragma once

#include <string>

// The program keeps text in UTF-8; Windows calls take UTF-16. Every
// conversion at that boundary goes through these.

// UTF-8 to UTF-16; bytes that are not UTF-8 become U+FFFD.
std::wstring Widen(const std::string& text);

// A path for a Windows call: UTF-16, with "/" turned into "\", which some
// calls (links, long-path forms) do not accept.
std::wstring WidePath(const std::string& path);

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Narrow(const std::wstring& text);
std::string Narrow(const wchar_t* text, size_t length);

// The system's own description of an error code (GetLastError()), without
// the line break Windows ends it with.
std::string SystemErrorText(unsigned long code);

#pragma once
// Text conversions and output. Menu captions and help texts reach the host as
// UTF-16 or as ANSI bytes (code page 1252 on Western systems); everything the
// host prints is UTF-8, so it shows correctly on a UTF-8 terminal and, with
// the console switched to UTF-8, in a Windows console.
#include <windows.h>

#include <string>

namespace host {

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);
// ANSI bytes in the given code page, as UTF-8.
std::string Utf8FromCodePage(const std::string& bytes, UINT codePage);

// A caption or value shown in double quotes, with tabs, line breaks and other
// control characters written as escapes.
std::string Quoted(const std::string& utf8);
// A caption without its mnemonic marks: "&&" stands for "&", a lone "&" goes.
std::string WithoutAmpersands(const std::string& utf8);

std::string Hex(unsigned long value);
std::string HresultText(HRESULT hr);

void Print(const std::string& utf8);       // standard output
void PrintError(const std::string& utf8);  // standard error

}  // namespace host

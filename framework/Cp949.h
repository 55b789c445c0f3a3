#pragma once
// Lumaro's texts are CP949 bytes: its literals, its resources' strings, the
// console's answers, the log. Windows shows text right whatever the machine's
// "language for non-Unicode programs" only through its W functions, so every
// text crosses to Windows here, converted explicitly from code page 949 and
// never through the ANSI code page, which may be 1252 or UTF-8.
#include <string>

const unsigned kCp949 = 949;

// CP949 bytes as UTF-16; a byte sequence that is no CP949 (a lead byte
// without its trail byte) becomes the code page's default character, '?'.
std::wstring Widen(const std::string& cp949);
// UTF-16 as CP949 bytes; what CP949 lacks becomes '?', one for each UTF-16
// unit, never a look-alike: "à" is "?", not "a".
std::string Narrow(const std::wstring& text);

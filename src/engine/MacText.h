#pragma once
// A camera's MAC as text: six two-digit hexadecimal fields joined by ":", as the camera
// reports it. Cameras differ in the case of their hex digits, and a hostile host may send
// anything of the right length: only the well-formed text is a key, and one camera is one
// key whatever the case it is written in.

#include <string>

// Exactly "hh:hh:hh:hh:hh:hh" with hex digits of either case.
bool IsMacText(const char* text);
inline bool IsMacText(const std::string& text) { return IsMacText(text.c_str()); }

// The key a MAC is found by: its text in upper case (any other text unchanged).
std::string MacKey(const char* text);
inline std::string MacKey(const std::string& text) { return MacKey(text.c_str()); }

// The same camera, whatever the case of either text.
bool SameMac(const std::string& a, const std::string& b);

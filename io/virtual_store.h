// Shadow copies: when a program without administrator rights writes under
// Program Files, Windows may write to a copy in
// %LOCALAPPDATA%\VirtualStore\<the path without its drive> instead, and
// programs that read the path then get that copy. A copy of a DLL there means
// the game may load an old copy instead of the file Orvanel changes.
#ifndef ORVANEL_IO_VIRTUAL_STORE_H_
#define ORVANEL_IO_VIRTUAL_STORE_H_

#include <string>

// The Windows path of dllPath's copy in VirtualStore, "" when there is none
// (or no LOCALAPPDATA, or dllPath begins with no drive).
std::string ShadowCopyOf(const char* dllPath);

// The line the result and `check` show for such a copy.
std::string ShadowCopyWarning(const std::string& copy, const char* dllPath);

#endif  // ORVANEL_IO_VIRTUAL_STORE_H_

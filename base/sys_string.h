// Text between the program's own code page 932 strings, the UTF-16 of the
// "W" functions, and the system code page that narrow platform calls (the
// media control interface) read paths in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Code page 932 text as UTF-16, whatever the system code page is: the "A"
// functions would read it in the system's code page and show question marks
// outside Japan. Embedded NULs are kept (a double-NUL list stays one).
std::wstring Cp932ToWide(std::string_view cp932);

// UTF-16 text in the system code page, only when every character has an
// exact form there. A best-fit look-alike ("ā" read as "a") could name
// another file, so such text gives nullopt.
std::optional<std::string> WideToSystemCodePage(std::wstring_view wide);

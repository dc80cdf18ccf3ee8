#include "base/sys_string.h"

#include <windows.h>

namespace {

constexpr UINT kProgramCodePage = 932;

}  // namespace

std::wstring Cp932ToWide(std::string_view cp932) {
    if (cp932.empty()) return {};
    const int size = static_cast<int>(cp932.size());
    const int length = MultiByteToWideChar(kProgramCodePage, 0, cp932.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(kProgramCodePage, 0, cp932.data(), size, wide.data(), length);
    return wide;
}

std::optional<std::string> WideToSystemCodePage(std::wstring_view wide) {
    if (wide.empty()) return std::string();
    const int size = static_cast<int>(wide.size());
    // UTF-8 as the system code page holds every character; it only refuses a
    // lone surrogate, and takes neither of the best-fit arguments.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL defaulted = FALSE;
    BOOL* usedDefault = utf8 ? nullptr : &defaulted;
    const int length =
        WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, usedDefault);
    if (length <= 0 || defaulted) return std::nullopt;
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, flags, wide.data(), size, narrow.data(), length, nullptr,
                        usedDefault);
    if (defaulted) return std::nullopt;
    return narrow;
}

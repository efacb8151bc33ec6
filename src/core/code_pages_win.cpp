#include "core/code_pages.h"

#include <windows.h>

#include "core/wide_text_win.h"

namespace tolvar {

namespace {

constexpr unsigned kUtf8 = CP_UTF8;

// A code page number stored as text under the system's language settings;
// 0 when the value is missing or not a number.
unsigned StoredCodePage(const char* value) {
    char text[16] = "";
    DWORD size = sizeof text;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", value,
                     RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) {
        return 0;
    }
    unsigned number = 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9' || number > 100000) return 0;
        number = number * 10 + static_cast<unsigned>(*c - '0');
    }
    return number;
}

unsigned Chosen(unsigned stored, unsigned processPage, unsigned westernDefault) {
    if (stored != 0 && stored != kUtf8) return stored;
    return processPage != kUtf8 ? processPage : westernDefault;
}

}  // namespace

LegacyCodePages SystemCodePages() {
    static const LegacyCodePages pages{Chosen(StoredCodePage("ACP"), GetACP(), 1252),
                                       Chosen(StoredCodePage("OEMCP"), GetOEMCP(), 437)};
    return pages;
}

std::string CodePageToUtf8(std::string_view bytes, unsigned codePage) {
    if (bytes.empty()) return {};
    const int length = static_cast<int>(bytes.size());
    const int n = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (n <= 0) {
        // A page the system does not know: ASCII stays, the rest is unknown.
        std::string out;
        for (const char c : bytes)
            out += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : "\xEF\xBF\xBD";
        return out;
    }
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), length, wide.data(), n);
    return WideToUtf8(wide);
}

}  // namespace tolvar

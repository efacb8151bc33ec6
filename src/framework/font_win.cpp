#include "framework/font_win.h"

namespace tolvar {

UniqueFont CreateFontFrom(const FontSpec& font) {
    // A negative height asks for the character height, not the cell height.
    return UniqueFont(CreateFontA(-font.height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE,
                                  font.underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH | FF_DONTCARE, font.name.c_str()));
}

namespace {
int CALLBACK FoundFont(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}
}  // namespace

bool FontExists(const std::string& name) {
    LOGFONTA lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(lf.lfFaceName, name.c_str(), LF_FACESIZE);
    bool found = false;
    const ScreenDC screen;
    EnumFontFamiliesExA(screen.get(), &lf, &FoundFont, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

}  // namespace tolvar

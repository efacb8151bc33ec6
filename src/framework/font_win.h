#pragma once

// The fonts the windows use: a face name, a height in pixels, bold or not.

#include <windows.h>

#include <string>

#include "framework/gdi_handles_win.h"

namespace tolvar {

struct FontSpec {
    std::string name = "MS Sans Serif";
    int height = 11;  // character height in pixels
    bool bold = false;
    bool underline = false;

    bool operator==(const FontSpec&) const = default;
};

UniqueFont CreateFontFrom(const FontSpec& font);

// Whether the system has a font of this face name.
bool FontExists(const std::string& name);

}  // namespace tolvar

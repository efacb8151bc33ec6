#pragma once

// The names browsers give a download while it arrives. Such a file is
// renamed to its final name once complete; scanning it before then would
// scan half a file, and scanning it under its passing name would be wasted.

#include <string_view>

namespace tolvar {

// True when the path's name ends in ".crdownload", ".part" or ".partial",
// in any case.
bool IsPartialDownload(std::string_view path);

}  // namespace tolvar

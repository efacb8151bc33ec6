#pragma once

// Texts as lines, whatever line ends they were stored with: a text file
// kept with LF ends becomes the CR LF text that Windows controls expect.

#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

// The lines of a text. CR LF, a lone CR and a lone LF each end a line; a line
// end at the very end closes the last line rather than opening an empty one.
std::vector<std::string> SplitLines(std::string_view text);

// The lines joined with CR LF between them, none after the last.
std::string JoinCrLf(const std::vector<std::string>& lines);

}  // namespace tolvar

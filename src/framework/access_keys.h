#pragma once

// Access keys as the captions of standard buttons mark them: "&Save" is
// pressed with Alt+S and shows an underlined S; "&&" stands for one '&'.
// (Labels draw '&' as it is: their captions mark nothing.)

#include <string>

namespace tolvar {

// The marked letter in upper case (or digit); 0 when none is marked.
char AccessKeyOf(const std::string& caption);
// The caption as it reads: markers dropped, "&&" as "&".
std::string WithoutAccessMarkers(const std::string& caption);

}  // namespace tolvar

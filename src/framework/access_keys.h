#pragma once

// Access keys as captions mark them: "&Save Settings" is pressed with Alt+S
// and shows an underlined S; "&&" stands for one '&'.

#include <string>

namespace tolvar {

// The caption with '&' before the first letter that matches key (either
// case); unchanged when no letter does.
std::string MarkAccessKey(const std::string& caption, char key);
// The marked letter in upper case (or digit); 0 when none is marked.
char AccessKeyOf(const std::string& caption);
// The caption as it reads: markers dropped, "&&" as "&".
std::string WithoutAccessMarkers(const std::string& caption);

}  // namespace tolvar

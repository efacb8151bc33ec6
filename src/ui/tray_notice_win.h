#pragma once

// Whether the user has been told that Close keeps the program running in
// the tray: told once, remembered in the registry subkey "watch" (its
// DWORD "TrayNoticeShown").

namespace tolvar {

inline constexpr const char* kTrayNoticeValue = "TrayNoticeShown";

// True the first time, and the telling is remembered then; true again on
// every Close while it cannot be remembered, since a notice shown twice
// does less harm than a program that stays without a word.
bool TakeFirstTrayNotice();

}  // namespace tolvar

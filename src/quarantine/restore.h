#pragma once

// The two restore commands of the vault list.

namespace tolvar {

class TForm1;

// Puts the selected record's file back where it was found.
void RestoreToOriginal(TForm1& form);
// Puts it into a folder the user picks.
void RestoreToFolder(TForm1& form);

}  // namespace tolvar

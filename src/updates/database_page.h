#pragma once

// The figures of the Virus Database page: the last update's date and size
// and the number of updates, read each time the page is shown.

#include <string>

namespace tolvar {

class TForm1;

void FillDatabasePage(TForm1& form);

}  // namespace tolvar

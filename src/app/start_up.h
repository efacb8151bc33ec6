#pragma once

// The program's start and end around the main window.

namespace tolvar {

class TForm1;

// Run once from the main window's creation: fixes the folders, loads the
// skin and shows the first page.
void StartUp(TForm1& mainForm);
// Run once when the main window closes; never fails.
void ShutDown(TForm1& mainForm);

}  // namespace tolvar

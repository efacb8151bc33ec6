#pragma once

// The program's start and end around the main window.

#include <string>

namespace tolvar {

class TForm1;

// Run once from the main window's creation: fixes the folders, loads the
// skin and shows the first page.
void StartUp(TForm1& mainForm);
// Run once when the main window closes; never fails.
void ShutDown(TForm1& mainForm);

// Seeds the program's random source from the clock.
void SeedRandom();

// True on Windows versions with major version 6 or higher.
bool IsNewWindowsVersion();

// The folder of the running executable, with a trailing backslash.
std::string ExecutableFolder();

}  // namespace tolvar

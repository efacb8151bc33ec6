#pragma once

// The scheduled look for a due database update, a few seconds after start.

namespace tolvar {

class TForm1;

// The tick of the main window's update-check timer. It waits while the
// schedule is "Never Check" or a scan runs; otherwise it checks once, offers
// a due update, and stops the timer for the rest of the run.
void CheckForUpdates(TForm1& form);

}  // namespace tolvar

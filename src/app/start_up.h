#pragma once

// The program's start and end around the main window.

#include "core/infection_record.h"

namespace tolvar {

class ScanSession;
class Skin;
class TForm1;

// The program's state as a run begins: the scan state, the folders, the
// settings record (with the reset of an update date that is too old), the
// scan history (and the last scan's unremoved detections into scanTable)
// and the vault. Each step that cannot read its store keeps its defaults.
// True on a first start: no settings record was stored before.
bool LoadProgramState(InfectionTable& scanTable);

// The whole start, run once as the main window is made: the program's
// state, then the window's vault list, skin and first page. True on a first
// start.
bool StartUp(TForm1& mainForm, ScanSession& scan);
// Run once when the main window closes; never fails.
void ShutDown(ScanSession& scan, Skin& skin);

}  // namespace tolvar

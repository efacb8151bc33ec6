// The Win32 tests share one application object, as the program does.

#include <gtest/gtest.h>

#include "core/folders.h"
#include "framework/application_win.h"
#include "scan/engine_setting.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    tolvar::Application app;
    app.setTitle("Tolvar Antivirus tests");
    // The program's folders, as its start fixes them, for every test.
    tolvar::FixFolders();
    // The programs the tests make keep no scan engine loaded: clamd.exe in
    // the scanner folder beside them may be a real clamd. The tests of the
    // engine set what they need and leave this again.
    tolvar::StoreKeepLoaded(false);
    return RUN_ALL_TESTS();
}

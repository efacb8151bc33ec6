// The Win32 tests share one application object, as the program does.

#include <gtest/gtest.h>

#include "core/folders.h"
#include "framework/application_win.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    tolvar::Application app;
    app.setTitle("Tolvar Antivirus tests");
    // The program's folders, as its start fixes them, for every test.
    tolvar::FixFolders();
    return RUN_ALL_TESTS();
}

#pragma once

// The windows of a database update as the tests drive them: the download
// window with its failure notice, on the main window's skin, through the
// system's transport; and a run as the Virus Database page's button starts
// it.

#include <gtest/gtest.h>

#include <functional>

#include "recording_views.h"
#include "test_support.h"
#include "ui/download_window_win.h"
#include "ui/failure_notice_win.h"
#include "ui/main_form_win.h"
#include "updates/system_transport_win.h"

namespace tolvar::test {

class DownloadWindows {
protected:
    DownloadWindows() {
        form8.Timer1.setInterval(10);
        form8.databaseInstalled = [this] { ++installs; };
    }

    // Opens the download window and waits until the run has come to its
    // end (or to the given condition).
    void run(const std::function<bool()>& until = nullptr, DWORD timeoutMs = 20000) {
        form8.show();
        ASSERT_TRUE(PumpUntil(
            until ? until : [this] { return !form8.Downloading() && !form8.Timer1.enabled(); },
            timeoutMs));
    }

    RecordingCommands commands;
    TForm1 form{commands};
    TForm14 notice{form.skin()};
    SystemTransport transport;
    TForm8 form8{form.skin(), notice, transport};
    // How often the window told that new databases are in place (the
    // program's own clamd reloads then).
    int installs = 0;
};

}  // namespace tolvar::test

#pragma once

// Every call a tray icon makes, recorded and passed on to the shell.

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "ui/tray_icon_win.h"

namespace tolvar::test {

// Every call the tray made, passed on to the shell as the program makes it.
struct NotifyLog {
    struct Call {
        DWORD message;
        NOTIFYICONDATAA record;
    };
    std::vector<Call> calls;

    void watch(TrayIcon& tray) {
        tray.notify = [this](DWORD message, NOTIFYICONDATAA* record) {
            calls.push_back({message, *record});
            return Shell_NotifyIconA(message, record);
        };
    }
    std::vector<Call> balloons() const {
        std::vector<Call> found;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(found), [](const Call& c) {
            return c.message == NIM_MODIFY && (c.record.uFlags & NIF_INFO);
        });
        return found;
    }
};

}  // namespace tolvar::test

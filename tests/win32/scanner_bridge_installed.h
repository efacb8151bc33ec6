#pragma once

// The scanner bridge (Debian's clamscan on the Linux side) as the program's
// clamscan.exe while this lives; the stand-in scanner the other tests use is
// put back after.

#include <windows.h>

#include <string>

#include "scan/clamscan_run_win.h"

namespace tolvar::test {

inline std::string TestProgramOwnFolder() {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string path = self;
    return path.substr(0, path.find_last_of('\\') + 1);
}

class ScannerBridgeInstalled {
public:
    ScannerBridgeInstalled() : scanner_(ScannerFolder() + "clamscan.exe") {
        CopyFileA(scanner_.c_str(), (scanner_ + ".stand-in").c_str(), FALSE);
        installed_ = CopyFileA((TestProgramOwnFolder() + "bridges\\scanner_bridge.exe").c_str(),
                               scanner_.c_str(), FALSE);
    }
    ~ScannerBridgeInstalled() {
        MoveFileExA((scanner_ + ".stand-in").c_str(), scanner_.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    ScannerBridgeInstalled(const ScannerBridgeInstalled&) = delete;
    ScannerBridgeInstalled& operator=(const ScannerBridgeInstalled&) = delete;
    bool installed() const { return installed_; }

private:
    std::string scanner_;
    bool installed_ = false;
};

}  // namespace tolvar::test

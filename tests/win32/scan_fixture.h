#pragma once

// A scan session with a recording page and recording outcomes, and the fake
// scanner ready: each test writes the scanner's script and starts scans as
// the commands do.

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/start_up.h"
#include "history/scan_history.h"
#include "recording_views.h"
#include "scan/scan_session_win.h"
#include "scan/scan_state.h"
#include "test_support.h"

namespace tolvar::test {

class Scans : public testing::Test {
protected:
    Scans() : dir_(std::filesystem::temp_directory_path() / "tolvar-scan-test") {
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / "target");
        // The program's own start: folders, settings, history, vault.
        LoadProgramState(scan.Parser().MutableTable());
        scan.fixedDrives = [this] {
            return std::vector<std::string>{(dir_ / "target").string() + "\\"};
        };
        scansBefore = Statistics().ScanCount();
        foundBefore = Statistics().TotalInfectionsFound();
    }
    ~Scans() override {
        SetEnvironmentVariableA("TOLVAR_FAKE_SCANNER_SCRIPT", nullptr);
        std::filesystem::remove_all(dir_);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // The fake scanner follows these lines.
    void script(const std::vector<std::string>& lines) {
        std::ofstream out(path("script.txt"), std::ios::binary);
        for (const std::string& line : lines)
            out << line << "\n";
        out.close();
        SetEnvironmentVariableA("TOLVAR_FAKE_SCANNER_SCRIPT", path("script.txt").c_str());
    }

    bool waitIdle(DWORD ms = 15000) {
        return PumpUntil([this] { return ScanIsIdle() && !scan.ScannerRunning(); }, ms);
    }

    std::vector<std::string> readLines(const std::string& name) {
        std::ifstream in(path(name), std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    std::filesystem::path dir_;
    RecordingScanView view;
    RecordingOutcomes outcomes;
    ScanSession scan{view, outcomes};
    int scansBefore = 0;
    int foundBefore = 0;
};

}  // namespace tolvar::test

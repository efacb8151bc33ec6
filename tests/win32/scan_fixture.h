#pragma once

// A main window with its result windows and the fake scanner ready: each
// test writes the scanner's script and starts scans like the user does.

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "history/scan_history.h"
#include "scan/scan_state.h"
#include "test_support.h"
#include "ui/main_form_win.h"
#include "ui/program_windows_win.h"

namespace tolvar::test {

class Scans : public testing::Test {
protected:
    Scans() : dir_(std::filesystem::temp_directory_path() / "tolvar-scan-test") {
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / "target");
        ScanState = "idle";
        Windows().Form17 = &form17;
        Windows().ScanFailed = &failed;
        Windows().InfectionsFound = [this] { ++infectionPrompts; };
        form.scan().fixedDrives = [this] {
            return std::vector<std::string>{(dir_ / "target").string() + "\\"};
        };
        scansBefore = Statistics().ScanCount();
        foundBefore = Statistics().TotalInfectionsFound();
    }
    ~Scans() override {
        Windows() = ProgramWindows{};
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
        return PumpUntil([this] { return ScanState == "idle" && !form.scan().ScannerRunning(); },
                         ms);
    }

    std::vector<std::string> readLines(const std::string& name) {
        std::ifstream in(path(name), std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    std::filesystem::path dir_;
    TForm1 form;
    TForm17 form17{form.skin()};
    ScanFailedForm failed{form.skin()};
    int infectionPrompts = 0;
    int scansBefore = 0;
    int foundBefore = 0;
};

}  // namespace tolvar::test

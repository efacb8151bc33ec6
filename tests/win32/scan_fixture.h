#pragma once

// A scan session with a recording page and recording outcomes, and the fake
// scanner ready: each test writes the scanner's script and starts scans as
// the commands do.

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/start_up.h"
#include "core/folders.h"
#include "history/scan_history.h"
#include "recording_views.h"
#include "scan/scan_session_win.h"
#include "scan/scan_state.h"
#include "test_mirror.h"
#include "test_support.h"

namespace tolvar::test {

// ClamAV's signed test-1.cvd as the database folder's main.cvd while it
// lives: a scan starts its scanner only with a database to name.
class MainDatabase {
public:
    MainDatabase() : file_(Folders().DatabaseFolder + "main.cvd") {
        const std::string content = ClamavTestFile("test-1.cvd");
        EXPECT_FALSE(content.empty()) << "test-1.cvd is missing; the build scripts fetch it";
        std::ofstream(file_, std::ios::binary) << content;
    }
    ~MainDatabase() {
        std::error_code ignored;
        std::filesystem::remove(file_, ignored);
    }
    MainDatabase(const MainDatabase&) = delete;
    MainDatabase& operator=(const MainDatabase&) = delete;

private:
    std::string file_;
};

class Scans : public testing::Test {
protected:
    Scans() : dir_(std::filesystem::temp_directory_path() / "tolvar-scan-test") {
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / "target");
        // The program's own start: folders, settings, history, vault.
        LoadProgramState(scan.Parser().MutableTable());
        database_.emplace();
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
    std::optional<MainDatabase> database_;
    RecordingScanView view;
    RecordingOutcomes outcomes;
    ScanSession scan{view, outcomes};
    int scansBefore = 0;
    int foundBefore = 0;
};

}  // namespace tolvar::test

#pragma once

// Recording stand-ins for the windows: each seam between the logic and a
// window, recording what the logic asked for, so that the scan, the removal
// and the restore are tested without the main window.

#include <windows.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/infection_record.h"
#include "framework/timer_win.h"
#include "quarantine/removal.h"
#include "quarantine/restore.h"
#include "quarantine/vault_table.h"
#include "scan/scan_view.h"
#include "ui/main_window_commands.h"

namespace tolvar::test {

class RecordingScanView : public ScanView {
public:
    void ShowStatus(const std::string& text) override { record(status, text); }
    void ShowItemsScanned(std::int32_t count) override { record(items, count); }
    void ShowInfectionsFound(std::int32_t count) override { record(infections, count); }
    void ShowPercent(const std::string& text) override {
        // A page that fails once, where a test asks for it.
        if (!failOnPercent.empty() && text == failOnPercent) {
            failOnPercent.clear();
            throw std::runtime_error("the page could not show " + text);
        }
        record(percent, text);
    }
    void ShowProgressBar(int value) override { record(bar, value); }
    void ClearInfectionRows() override {
        ++calls;
        rows.clear();
    }
    void AddInfectionRow(const InfectionRecord& record) override {
        ++calls;
        rows.push_back(record);
    }
    void LightCommand(ScanCommand command) override {
        ++calls;
        litCommands.push_back(command);
    }
    // The command lit now; none before the first.
    std::optional<ScanCommand> lit() const {
        if (litCommands.empty()) return std::nullopt;
        return litCommands.back();
    }
    void ShowProgressView() override {
        ++calls;
        ++progressViews;
    }
    // A real timer: the scan's figures reach this view the way they reach
    // the page, on ticks between other messages.
    void StartRefreshTimer(std::function<void()> tick) override {
        timer_.onTimer = [this, tick = std::move(tick)] {
            ++ticks;
            tick();
        };
        timer_.setEnabled(true);
    }
    void StopRefreshTimer() override { timer_.setEnabled(false); }
    bool refreshing() const { return timer_.enabled(); }

    std::vector<std::string> status;
    std::vector<std::int32_t> items;
    std::vector<std::int32_t> infections;
    std::vector<std::string> percent;
    std::vector<int> bar;
    std::vector<InfectionRecord> rows;
    // The commands lit, in order.
    std::vector<ScanCommand> litCommands;
    // ShowPercent with this text throws, once.
    std::string failOnPercent;
    int progressViews = 0;
    // Every call that would change the page: each one repaints a control.
    int calls = 0;
    int ticks = 0;

private:
    template <typename T, typename V>
    void record(std::vector<T>& list, const V& value) {
        ++calls;
        list.push_back(value);
    }
    Timer timer_{100, false};
};

class RecordingOutcomes : public ScanOutcomes {
public:
    void NewScanBegins() override { ++scansBegun; }
    void InfectionsFound(std::int32_t count) override { infectionsFound.push_back(count); }
    void NoInfectionsFound() override { ++noInfections; }
    void ScanFailed(const std::string& reason) override { failures.push_back(reason); }
    void ReportError(std::exception_ptr error) override {
        // A modal error box inside a worker's hand-over would hold that
        // worker; reports must come from the message loop.
        reportedInsideHandOver = reportedInsideHandOver || InSendMessage();
        if (onError) onError();
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            errors.push_back(e.what());
        } catch (...) {
            errors.push_back("?");
        }
    }
    // How many windows followed the scans: exactly one per ended scan.
    int windowsShown() const {
        return static_cast<int>(infectionsFound.size() + failures.size()) + noInfections;
    }

    int scansBegun = 0;
    std::vector<std::int32_t> infectionsFound;
    int noInfections = 0;
    std::vector<std::string> failures;
    std::vector<std::string> errors;
    bool reportedInsideHandOver = false;
    // What the report does besides being recorded (a modal box would run
    // the program's other commands meanwhile).
    std::function<void()> onError;
};

// The removal's windows without windows: the run goes straight through.
class InlineRemovalWindows : public RemovalWindows {
public:
    void ClosePrompt() override { ++promptsClosed; }
    void TellNothingRemoved(const std::string& why) override { told.push_back(why); }
    void AskToStopScan() override {
        ++stopQuestions;
        if (onStopQuestion) onStopQuestion();
    }
    void RunRemoval(RemovalRun& run) override {
        ++runs;
        if (beforeRun) beforeRun(run);
        while (run.RemoveNextItem()) {
            if (afterItem) afterItem(run);
        }
    }
    void ShowRemovalDone(const RemovalOutcome& outcome) override {
        done.push_back({outcome.removed, outcome.notRemoved});
        stopReasons.push_back(outcome.stopReason);
    }

    std::function<void()> onStopQuestion;
    // Called with the run before its first item, and after each item.
    std::function<void(RemovalRun&)> beforeRun;
    std::function<void(RemovalRun&)> afterItem;
    int promptsClosed = 0;
    int stopQuestions = 0;
    int runs = 0;
    std::vector<std::string> told;
    std::vector<std::pair<int, int>> done;
    std::vector<std::string> stopReasons;
};

class RecordingVaultList : public VaultListView {
public:
    std::vector<int> SelectedRows() const override {
        if (!selectedRows.empty()) return selectedRows;
        return selected < 0 ? std::vector<int>{} : std::vector<int>{selected};
    }
    void ShowVaultRows(const VaultTable& vault) override {
        rows.clear();
        for (int k = 1; k <= vault.Count(); ++k)
            rows.push_back(vault.Record(k).VirusName);
    }
    bool Ask(const std::string& question) override {
        questions.push_back(question);
        if (questions.size() <= answers.size()) return answers[questions.size() - 1];
        return answer;
    }
    void Tell(const std::string& notice) override { notices.push_back(notice); }
    std::string ChooseFolder() override { return folder; }

    int selected = -1;
    std::vector<int> selectedRows;  // several rows; when empty, selected alone
    bool answer = true;
    std::vector<bool> answers;  // the answers to the first questions, in turn
    std::string folder;
    std::vector<std::string> rows;
    std::vector<std::string> questions;
    std::vector<std::string> notices;
};

class RecordingCommands : public MainWindowCommands {
public:
    void StartScan() override { given.push_back("StartScan"); }
    void PauseScan() override { given.push_back("PauseScan"); }
    void ResumeScan() override { given.push_back("ResumeScan"); }
    void StopScan() override { given.push_back("StopScan"); }
    void RemoveInfections() override { given.push_back("RemoveInfections"); }
    void ChooseFoldersToScan() override { act("ChooseFoldersToScan", chooseFolders); }
    void ShowAbout() override { act("ShowAbout", showAbout); }
    void OpenDatabaseUpdates() override { given.push_back("OpenDatabaseUpdates"); }
    void OpenDatabaseSettings() override { given.push_back("OpenDatabaseSettings"); }
    void OpenProtectionSettings() override { given.push_back("OpenProtectionSettings"); }
    void CheckForUpdates() override { given.push_back("CheckForUpdates"); }
    void ToggleRealtimeProtection() override { given.push_back("ToggleRealtimeProtection"); }

    // What a command does besides being recorded, where a test needs it.
    std::function<void()> chooseFolders;
    std::function<void()> showAbout;
    std::vector<std::string> given;

private:
    void act(const char* name, const std::function<void()>& what) {
        given.push_back(name);
        if (what) what();
    }
};

}  // namespace tolvar::test

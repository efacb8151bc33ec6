#pragma once

// What ClamAV's updater (freshclam) says while it runs, read as it comes:
// which database it works on (for the download window's label), how far its
// transfer is (its progress line, redrawn in place with a carriage return),
// what it updated, and what went wrong. After it ends, its output and exit
// code together decide whether the run updated something, found everything
// up to date, or failed, and with which reason.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "updates/download_run.h"

namespace tolvar {

class FreshclamOutput {
public:
    // Bytes as they arrive; a chunk may end anywhere, in a line, in a
    // progress line or between a carriage return and its line feed.
    void Feed(std::string_view bytes);
    // The output has ended: a last line without its end counts too.
    void Finish();

    // What the updater is doing, in words; "" before it has said.
    const std::string& Step() const { return step_; }
    // Its transfer as the gauge shows it: bytes done of bytes expected; 0 of
    // 0 while nothing is known (a new step starts it again).
    GaugeReading Progress() const { return progress_; }

    // The files it put in place ("daily.cld", "main.cvd"), in order.
    const std::vector<std::string>& UpdatedFiles() const { return updatedFiles_; }
    // Its mirror refused it (HTTP 403) or asked it to slow down (HTTP 429).
    bool Refused() const { return refused_; }
    bool RateLimited() const { return rateLimited_; }
    // It did not try: an earlier refusal's cool-down still holds.
    bool StillCoolingDown() const { return stillCoolingDown_; }
    // When the cool-down it announced ends, local time.
    std::optional<double> CoolDownUntil() const { return coolDownUntil_; }
    // The database it gave up on ("Update failed for database: daily").
    const std::string& FailedDatabase() const { return failedDatabase_; }
    // A database the mirror has a newer version of, but not yet the patch
    // to it, which the updater then leaves as it is (and calls that fine).
    const std::string& WithoutPatch() const { return withoutPatch_; }
    // The first error it explained: the transfer library's message, or
    // else its first specific error line.
    std::string ErrorDetail() const;

private:
    void Line(std::string line);
    void Database(std::string_view name, std::string step);

    std::string pending_;
    std::string step_;
    std::string database_;  // the one it works on
    GaugeReading progress_;
    std::vector<std::string> updatedFiles_;
    bool refused_ = false;
    bool rateLimited_ = false;
    bool stillCoolingDown_ = false;
    std::optional<double> coolDownUntil_;
    std::string failedDatabase_;
    std::string withoutPatch_;
    std::string errorDetail_;
    std::string firstError_;
};

enum class FreshclamVerdict { Updated, UpToDate, Failed };

struct FreshclamResult {
    FreshclamVerdict verdict = FreshclamVerdict::Failed;
    // The failure notice's line, starting "Reason: ", for a failed run.
    std::string reason;
    // A cool-down the run ended in; no run starts before it is over.
    std::optional<double> coolDownUntil;
};

// Exit code 0 means updated or up to date, but a run refused by the mirror
// (HTTP 429), held back by a cool-down, or left behind for want of a patch
// also ends with 0: the output says which. 17 is a refusal (HTTP 403), 18 a
// request to retry later; every other code is an error.
FreshclamResult JudgeFreshclamRun(const FreshclamOutput& output, unsigned long exitCode);

}  // namespace tolvar

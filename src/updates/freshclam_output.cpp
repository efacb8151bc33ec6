#include "updates/freshclam_output.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "core/ascii_text.h"
#include "updates/cool_down.h"

namespace tolvar {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The terminal's control sequences (on Linux the progress line switches
// line wrapping off and on) are no text.
std::string WithoutEscapes(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\x1b') {
            out += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '[') {
            i += 2;
            while (i < text.size() && !(text[i] >= '@' && text[i] <= '~'))
                ++i;
        } else {
            ++i;
        }
    }
    return out;
}

// "1.23MiB" as bytes; nothing for anything else.
std::optional<double> Bytes(std::string_view text) {
    text = Trim(text);
    static constexpr struct {
        const char* unit;
        double factor;
    } kUnits[] = {{"GiB", 1024.0 * 1024 * 1024}, {"MiB", 1024.0 * 1024}, {"KiB", 1024.0}, {"B", 1}};
    for (const auto& unit : kUnits) {
        if (!EndsWith(text, unit.unit)) continue;
        const std::string number(
            Trim(text.substr(0, text.size() - std::string_view(unit.unit).size())));
        if (number.empty() || number.find_first_not_of("0123456789.") != std::string::npos) {
            return std::nullopt;
        }
        return std::strtod(number.c_str(), nullptr) * unit.factor;
    }
    return std::nullopt;
}

unsigned long ClampedBytes(double bytes) {
    constexpr double kMost = 4294967295.0;
    return static_cast<unsigned long>(bytes < 0 ? 0 : bytes > kMost ? kMost : bytes);
}

// "daily.cld" -> "daily".
std::string_view BaseName(std::string_view file) {
    const std::size_t dot = file.rfind('.');
    return dot == std::string_view::npos ? file : file.substr(0, dot);
}

// The digits right after marker in text; "" when marker is not there.
std::string NumberAfter(std::string_view text, std::string_view marker) {
    const std::size_t at = text.find(marker);
    if (at == std::string_view::npos) return "";
    std::string number;
    for (std::size_t i = at + marker.size();
         i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        number += text[i];
    return number;
}

// A plain word: a database or file name as the updater prints it.
bool IsName(std::string_view word) {
    if (word.empty()) return false;
    for (char c : word) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-') {
            return false;
        }
    }
    return true;
}

// The summaries and retries the updater prints around its actual error.
bool IsSummaryError(std::string_view text) {
    for (std::string_view summary :
         {"Update failed", "Database update process failed", "check_for_new_database_version:",
          "Download failed", "remote_cvdhead: Download failed", "downloadFile: Download failed"}) {
        if (StartsWith(text, summary)) return true;
    }
    return false;
}

// "mkdir_and_chdir_for_cdiff_tmp: Can't ..." -> "Can't ...": the name of
// the updater's function means nothing to a user.
std::string_view WithoutFunctionName(std::string_view text) {
    const std::size_t colon = text.find(": ");
    if (colon == std::string_view::npos) return text;
    const std::string_view name = text.substr(0, colon);
    if (name.find('_') == std::string_view::npos) return text;
    for (char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return text;
    }
    return text.substr(colon + 2);
}

std::string ExitCodeText(unsigned long code) {
    char text[32];
    if (code > 255) {
        std::snprintf(text, sizeof text, "0x%08lX", code);
    } else {
        std::snprintf(text, sizeof text, "%lu", code);
    }
    return text;
}

std::string ErrorWords(unsigned long code) {
    switch (code) {
        case 1:
            return "it found nothing to do";
        case 2:
            return "it could not start";
        case 3:
            return "the database folder cannot be used";
        case 4:
            return "a file it needs is missing or cannot be read";
        case 5:
            return "no connection to the mirror could be made";
        case 6:
            return "the mirror sent an empty file";
        case 7:
            return "the mirror sent a damaged or unsigned database";
        case 8:
            return "the new database failed its test";
        case 9:
            return "its settings were refused";
        case 10:
            return "it cannot write to the database folder";
        case 11:
            return "the mirror did not deliver the database";
        case 12:
            return "the mirror's database is older than the mirror announced";
        case 13:
            return "it cannot write its log";
        case 14:
            return "the update failed";
        case 15:
            return "the computer ran out of memory";
        case 16:
            return "it was started with wrong arguments";
        default:
            return "it ended with code " + ExitCodeText(code);
    }
}

std::string Until(const std::optional<double>& until) {
    if (!until) return "try again later.";
    return "no update can start before " + LocalTimeText(*until) + ".";
}

}  // namespace

void FreshclamOutput::Feed(std::string_view bytes) {
    for (char c : bytes) {
        if (c == '\n' || c == '\r') {
            Line(std::move(pending_));
            pending_.clear();
        } else {
            pending_ += c;
        }
    }
}

void FreshclamOutput::Finish() {
    if (!pending_.empty()) Line(std::move(pending_));
    pending_.clear();
}

void FreshclamOutput::Database(std::string_view name, std::string step) {
    if (name != database_) progress_ = {};
    database_ = std::string(name);
    step_ = std::move(step);
}

void FreshclamOutput::Line(std::string raw) {
    const std::string clean = WithoutEscapes(raw);
    std::string_view line = Trim(clean);
    if (line.empty()) return;

    bool isError = false;
    if (StartsWith(line, "ERROR: ")) {
        isError = true;
        line.remove_prefix(7);
    } else if (StartsWith(line, "WARNING: ")) {
        line.remove_prefix(9);
    }

    // "Time:  1.2s, ETA:  0.3s [=====>      ]  1.23MiB/160.00MiB"
    if (StartsWith(line, "Time:")) {
        const std::size_t close = line.rfind(']');
        const std::size_t slash = line.rfind('/');
        if (close == std::string_view::npos || slash == std::string_view::npos || slash < close) {
            return;
        }
        const std::optional<double> done = Bytes(line.substr(close + 1, slash - close - 1));
        const std::optional<double> total = Bytes(line.substr(slash + 1));
        if (done && total) progress_ = GaugeFor(ClampedBytes(*done), ClampedBytes(*total));
        return;
    }

    const std::size_t message = line.find("Message: ");
    if (message != std::string_view::npos && errorDetail_.empty()) {
        errorDetail_ =
            std::string(Trim(line.substr(message + std::string_view("Message: ").size())));
    }

    constexpr std::string_view kHeader = "Trying to retrieve CVD header from ";
    constexpr std::string_view kPatch = "Downloading database patch # ";
    constexpr std::string_view kWhole = "Incremental update failed, trying to download ";
    if (StartsWith(line, kHeader)) {
        const std::string_view url = line.substr(kHeader.size());
        const std::string name(BaseName(url.substr(url.rfind('/') + 1)));
        Database(name, "Checking the " + name + " database");
        return;
    }
    if (StartsWith(line, kPatch)) {
        step_ =
            "Downloading patch " + NumberAfter(line, kPatch) + " of the " + database_ + " database";
        return;
    }
    if (StartsWith(line, kWhole)) {
        const std::string name(BaseName(Trim(line.substr(kWhole.size()))));
        Database(name, "Downloading the whole " + name + " database");
        progress_ = {};
        return;
    }
    constexpr std::string_view kNoPatch =
        "The database server doesn't have the latest patch for the ";
    if (StartsWith(line, kNoPatch)) {
        const std::string_view rest = line.substr(kNoPatch.size());
        withoutPatch_ = std::string(rest.substr(0, rest.find(' ')));
        return;
    }
    if (StartsWith(line, "Testing database: ")) {
        step_ = "Testing the new " + database_ + " database";
        return;
    }

    const std::size_t space = line.find(' ');
    const std::string_view first = line.substr(0, space);
    const std::string_view rest = space == std::string_view::npos ? "" : line.substr(space + 1);
    if (IsName(first)) {
        const std::string name(BaseName(first));
        if (StartsWith(rest, "database available for download")) {
            Database(name, "Downloading the " + name + " database (version " +
                               NumberAfter(rest, "remote version: ") + ")");
            return;
        }
        if (StartsWith(rest, "database available for update")) {
            Database(name, "Updating the " + name + " database (version " +
                               NumberAfter(rest, "local version: ") + " to " +
                               NumberAfter(rest, "remote version: ") + ")");
            return;
        }
        if (StartsWith(rest, "database is up-to-date")) {
            Database(name, "The " + name + " database is up to date (version " +
                               NumberAfter(rest, "version: ") + ")");
            return;
        }
        if ((EndsWith(first, ".cvd") || EndsWith(first, ".cld")) &&
            StartsWith(rest, "updated (version: ")) {
            updatedFiles_.emplace_back(first);
            Database(name, "The " + name + " database is updated (version " +
                               NumberAfter(rest, "version: ") + ")");
            return;
        }
    }

    if (StartsWith(line, "FreshClam previously received error code")) {
        // The announcement of a cool-down still in force, below.
    } else if (line.find("received error code 403") != std::string_view::npos) {
        refused_ = true;
    } else if (line.find("received error code 429") != std::string_view::npos) {
        rateLimited_ = true;
    }
    for (std::string_view marker :
         {"You are still on cool-down until after: ", "You are on cool-down until after: "}) {
        if (StartsWith(line, marker)) {
            stillCoolingDown_ = stillCoolingDown_ || marker.find("still") != std::string_view::npos;
            coolDownUntil_ = ParseLocalTime(line.substr(marker.size()));
            return;
        }
    }

    if (!isError) return;
    constexpr std::string_view kFailed = "Update failed for database: ";
    if (StartsWith(line, kFailed)) {
        failedDatabase_ = std::string(Trim(line.substr(kFailed.size())));
        return;
    }
    if (firstError_.empty() && !IsSummaryError(line) && message == std::string_view::npos) {
        firstError_ = std::string(WithoutFunctionName(line));
    }
}

std::string FreshclamOutput::ErrorDetail() const {
    return errorDetail_.empty() ? firstError_ : errorDetail_;
}

FreshclamResult JudgeFreshclamRun(const FreshclamOutput& output, unsigned long exitCode) {
    FreshclamResult result;
    result.coolDownUntil = output.CoolDownUntil();
    const std::string prefix = "Reason: ";
    const std::string refused = prefix + "ClamAV's mirror refused the download (HTTP 403); ";
    const std::string limited = prefix + "too many requests to ClamAV's mirror (HTTP 429); ";
    if (exitCode == 0) {
        if (output.StillCoolingDown()) {
            result.reason = prefix + "ClamAV's mirror asked for a pause after earlier refusals; " +
                            Until(result.coolDownUntil);
        } else if (output.RateLimited()) {
            result.reason = limited + Until(result.coolDownUntil);
        } else if (output.Refused()) {
            result.reason = refused + Until(result.coolDownUntil);
        } else if (!output.WithoutPatch().empty() && output.UpdatedFiles().empty()) {
            // Not up to date: the newest version is there, only not yet as
            // a patch.
            result.reason = prefix + "ClamAV's mirror does not have the patch to the newest " +
                            output.WithoutPatch() + " database yet; try again in a few hours.";
        } else {
            result.verdict = output.UpdatedFiles().empty() ? FreshclamVerdict::UpToDate
                                                           : FreshclamVerdict::Updated;
        }
        return result;
    }
    if (exitCode == 17) {
        result.reason = refused + Until(result.coolDownUntil);
        return result;
    }
    if (exitCode == 18) {
        result.reason = limited + Until(result.coolDownUntil);
        return result;
    }
    std::string what = "ClamAV's updater could not update";
    what += output.FailedDatabase().empty() ? " the databases"
                                            : " the " + output.FailedDatabase() + " database";
    what += ": " + ErrorWords(exitCode);
    const std::string detail = output.ErrorDetail();
    if (!detail.empty()) {
        std::string_view trimmed = detail;
        while (!trimmed.empty() && (trimmed.back() == '.' || trimmed.back() == ' '))
            trimmed.remove_suffix(1);
        what += " (" + std::string(trimmed) + ")";
    }
    result.reason = prefix + what + ".";
    return result;
}

}  // namespace tolvar

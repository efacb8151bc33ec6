#include "updates/download_run.h"

#include <cstdint>
#include <limits>

#include "updates/mirror_address.h"

namespace tolvar {

namespace {

int ClampToInt(unsigned long value) {
    constexpr unsigned long kMax = std::numeric_limits<int>::max();
    return static_cast<int>(value > kMax ? kMax : value);
}

// The reason line ends with its own full stop.
std::string WithoutFinalStops(std::string text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' ' || text.back() == '\n' ||
                             text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

DownloadPlan PlanDownload(const SettingsRecord& settings, double today,
                          std::string_view configuredMirror, const std::string& databaseFolder) {
    DownloadPlan plan;
    for (const DatabaseFiles& files : ChooseDownloads(today, settings.LastUpdateDate())) {
        plan.files.push_back(
            PlannedFile{files.liveName, DatabaseUrl(configuredMirror, files.remotePath),
                        databaseFolder + files.liveName, databaseFolder + files.pendingName});
    }
    plan.source = DatabaseUrl(configuredMirror, "");
    plan.proxy = ProxyOf(settings);
    return plan;
}

ProxySettings ProxyOf(const SettingsRecord& settings) {
    ProxySettings proxy;
    proxy.use = settings.UseProxy();
    proxy.server = settings.ProxyServer();
    proxy.port = settings.ProxyPort();
    proxy.user = settings.ProxyUser();
    proxy.password = settings.ProxyPassword();
    return proxy;
}

GaugeReading GaugeFor(unsigned long done, unsigned long expected) {
    return {ClampToInt(done), ClampToInt(expected)};
}

void CountUpdate(SettingsRecord& settings, std::uint64_t installedBytes, double today) {
    constexpr std::uint64_t kMaxSize = std::numeric_limits<std::int32_t>::max();
    settings.SetLastUpdateSize(
        static_cast<std::int32_t>(installedBytes > kMaxSize ? kMaxSize : installedBytes));
    // A damaged record can hold the largest count already; one more would
    // overflow it.
    const std::int32_t total = settings.TotalUpdates();
    if (total < std::numeric_limits<std::int32_t>::max()) settings.SetTotalUpdates(total + 1);
    settings.SetLastUpdateDate(today);
}

std::string FailureReason(const std::exception_ptr& error) {
    const std::string prefix = "Reason: the download stopped on an error";
    if (!error) return prefix + ".";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        const std::string what = WithoutFinalStops(e.what());
        if (what.empty()) return prefix + ".";
        return prefix + ": " + what + ".";
    } catch (...) {
        return prefix + " of an unknown kind.";
    }
}

}  // namespace tolvar

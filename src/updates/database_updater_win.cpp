#include "updates/database_updater_win.h"

#include "core/atomic_file.h"
#include "updates/cool_down_store.h"
#include "updates/database_install.h"
#include "updates/freshclam_config.h"
#include "updates/mirror_address.h"

namespace tolvar {

namespace {

bool ThroughFreshclam(const std::string& freshclam) {
    return UpdatesThroughFreshclam(FileExists(freshclam), ConfiguredMirror());
}

std::string SourceOf(const std::string& freshclam) {
    return ThroughFreshclam(freshclam) ? kUpdaterSource : DatabaseUrl(ConfiguredMirror(), "");
}

}  // namespace

DatabaseUpdater::DatabaseUpdater(DatabaseTransport& transport, DownloadListener& listener,
                                 std::string freshclam)
    : download_(transport, listener), freshclam_(listener, std::move(freshclam)) {}

bool DatabaseUpdater::UsesFreshclam() const {
    return ThroughFreshclam(freshclam_.executable());
}

void DatabaseUpdater::Start() {
    // One kind of run at a time: the other kind's run, if any, ends.
    if (UsesFreshclam()) {
        download_.Cancel();
        freshclam_.Start();
    } else {
        freshclam_.Cancel();
        download_.Start();
    }
}

void DatabaseUpdater::Cancel() {
    download_.Cancel();
    freshclam_.Cancel();
}

bool DatabaseUpdater::Running() const {
    return download_.Running() || freshclam_.Running();
}

bool DatabaseUpdater::RetryInstall() {
    return download_.RetryInstall();
}

std::optional<double> UpdateCoolDown() {
    return CoolDownFor(SourceOf(FreshclamPath()));
}

}  // namespace tolvar

#include "core/folder_protection.h"

#include <algorithm>

namespace tolvar {

namespace {

bool OneOf(const std::string& sid, const std::vector<std::string>& writers) {
    return std::find(writers.begin(), writers.end(), sid) != writers.end();
}

}  // namespace

bool OthersCanChange(const SecurityView& view, const std::vector<std::string>& writers) {
    if (view.owner.empty() || !OneOf(view.owner, writers)) return true;
    if (!view.hasAccessList) return true;
    for (const AccessEntry& entry : view.entries) {
        if (!entry.allows || entry.inheritOnly || (entry.rights & kChangingRights) == 0) continue;
        const std::string& sid = entry.sid == kOwnerRightsSid ? view.owner : entry.sid;
        if (!OneOf(sid, writers)) return true;
    }
    return false;
}

bool DeniesRunningFiles(const SecurityView& view) {
    if (!view.hasAccessList) return false;
    return std::any_of(view.entries.begin(), view.entries.end(), [](const AccessEntry& entry) {
        return !entry.allows && entry.toFiles && entry.sid == kEveryoneSid &&
               (entry.rights & kExecuteRight) != 0;
    });
}

std::vector<std::string> TrustedWriters(const std::string& ownerAfterProtecting,
                                        const std::string& currentUser) {
    std::vector<std::string> writers{kAdministratorsSid, kLocalSystemSid};
    if (!currentUser.empty() && ownerAfterProtecting == currentUser) writers.push_back(currentUser);
    return writers;
}

}  // namespace tolvar

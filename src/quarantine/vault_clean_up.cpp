#include "quarantine/vault_clean_up.h"

#include "quarantine/vault_table.h"

namespace tolvar {

std::uint32_t DeleteAfterDaysFrom(std::optional<std::uint32_t> stored) {
    if (!stored || *stored > kMostDeleteAfterDays) return kDefaultDeleteAfterDays;
    return *stored;
}

std::optional<std::uint32_t> DeleteAfterDaysToStore(std::string_view field, std::string& why) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!field.empty() && blank(field.front()))
        field.remove_prefix(1);
    while (!field.empty() && blank(field.back()))
        field.remove_suffix(1);
    why = "the days must be a whole number from 0 to " + std::to_string(kMostDeleteAfterDays);
    if (field.empty() || field.size() > 5) return std::nullopt;
    std::uint32_t days = 0;
    for (char c : field) {
        if (c < '0' || c > '9') return std::nullopt;
        days = days * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (days > kMostDeleteAfterDays) return std::nullopt;
    why.clear();
    return days;
}

bool CopyIsDue(std::optional<std::int64_t> created, std::int64_t now, std::uint32_t days) {
    if (days == 0 || !created || *created > now) return false;
    return now - *created > static_cast<std::int64_t>(days) * kTimeStepsPerDay;
}

std::vector<InfectionRecord> DueRecords(const VaultTable& vault, const CreationTime& createdAt,
                                        std::int64_t now, std::uint32_t days) {
    std::vector<InfectionRecord> due;
    if (days == 0) return due;
    for (int k = 1; k <= vault.Count(); ++k) {
        const InfectionRecord& record = vault.Record(k);
        if (CopyIsDue(createdAt(record.VaultPath), now, days)) due.push_back(record);
    }
    return due;
}

}  // namespace tolvar

// Arbitrary bytes through every reader of stored records: the vault's
// records file, the scan dump and single infection records. These files lie
// in a folder that other programs may write, so whatever they hold must load
// without reading past the data, without texts longer than their fields or
// that are not UTF-8 (bytes an older build wrote in the ANSI code page are
// converted) and, for the vault, without NULs inside paths. The vault table's own edits are
// checked against a plain list doing the same.
//
// Built with libFuzzer (clang++ -fsanitize=fuzzer) or with fuzz_driver.cpp.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/infection_record.h"
#include "core/utf8_text.h"
#include "history/scan_dump.h"
#include "quarantine/vault_table.h"

namespace {

using tolvar::InfectionRecord;
using tolvar::VaultTable;

void Require(bool ok, const char* broken) {
    if (ok) return;
    std::fprintf(stderr, "records_fuzz: %s\n", broken);
    std::abort();
}

bool WithinFields(const InfectionRecord& r) {
    return r.VaultPath.size() <= InfectionRecord::kVaultPathCapacity &&
           r.FilePath.size() <= InfectionRecord::kFilePathCapacity &&
           r.VirusName.size() <= InfectionRecord::kVirusNameCapacity &&
           tolvar::IsValidUtf8(r.VaultPath) && tolvar::IsValidUtf8(r.FilePath) &&
           tolvar::IsValidUtf8(r.VirusName);
}

bool HasNul(const InfectionRecord& r) {
    return r.VaultPath.find('\0') != std::string::npos ||
           r.FilePath.find('\0') != std::string::npos ||
           r.VirusName.find('\0') != std::string::npos;
}

// How the vault keeps a text, written out again here rather than taken from
// the code under test: up to a NUL, and cut to the field where a character
// begins (a UTF-8 continuation byte is 10xxxxxx; a character has at most
// three of them).
std::string Kept(std::string_view text, std::size_t capacity) {
    text = text.substr(0, text.find('\0'));
    if (text.size() <= capacity) return std::string(text);
    std::size_t end = capacity;
    const auto continuation = [&](std::size_t i) {
        return (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
    };
    for (int step = 0; step < 3 && end > 0 && continuation(end); ++step)
        --end;
    if (continuation(end)) end = capacity;
    return std::string(text.substr(0, end));
}

InfectionRecord Kept(const InfectionRecord& r) {
    return {Kept(r.VaultPath, InfectionRecord::kVaultPathCapacity),
            Kept(r.FilePath, InfectionRecord::kFilePathCapacity),
            Kept(r.VirusName, InfectionRecord::kVirusNameCapacity)};
}

// Reads little pieces of the input in turn; zeros once it runs out.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ >= size_; }
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::int32_t Int32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        return static_cast<std::int32_t>(v);
    }
    std::string Text() {
        // Lengths up to 300 reach past every field.
        const std::size_t low = Byte();
        const std::size_t high = Byte();
        const std::size_t length = std::min(low + high / 4, size_ - at_);
        std::string text(reinterpret_cast<const char*>(data_ + at_), length);
        at_ += length;
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Every slot as the table's file image holds it.
InfectionRecord SlotOf(const std::vector<std::uint8_t>& image, std::size_t slot) {
    return InfectionRecord::ReadFrom(image.data() + slot * InfectionRecord::kSize);
}

void CheckVaultFile(const std::uint8_t* data, std::size_t size) {
    auto table = std::make_unique<VaultTable>();
    Input in(data, size);
    const std::int32_t stored = in.Int32();
    const bool withCount = in.Byte() % 2 == 0;
    // Some copies are there, by a rule of the input's.
    const std::uint8_t seed = in.Byte();
    const auto hasCopy = [seed](const std::string& path) { return (path.size() + seed) % 3 != 0; };
    table->LoadFileImage(data, size, withCount ? std::optional<std::int32_t>(stored) : std::nullopt,
                         hasCopy);
    const std::int32_t count = table->Count();
    Require(count >= 0 && count <= 1000, "count outside the table");

    const std::size_t available = std::min(size, tolvar::kVaultFileBytes);
    const auto wholeSlots = static_cast<std::int32_t>(available / InfectionRecord::kSize);
    // The last whole slot that names a copy, read here from the bytes.
    std::int32_t last = 0;
    for (std::int32_t k = 1; k <= wholeSlots; ++k) {
        const InfectionRecord read =
            InfectionRecord::ReadFrom(data + (k - 1) * InfectionRecord::kSize);
        if (!Kept(read).VaultPath.empty()) last = k;
    }
    Require(count <= last, "a count past the file's last record");
    if (!withCount) Require(count == last, "a record of the file left out without a count");
    if (withCount) {
        Require(count >= std::clamp(stored, 0, last), "a stored count's record left out");
    }

    const std::vector<std::uint8_t> image = table->FileImage();
    Require(image.size() == tolvar::kVaultFileBytes, "records file not 563000 bytes");
    for (std::size_t slot = 0; slot < tolvar::kVaultSlots; ++slot) {
        const InfectionRecord r = SlotOf(image, slot);
        if (static_cast<std::int32_t>(slot) >= count) {
            Require(r == InfectionRecord{}, "slot past the records not empty");
            continue;
        }
        Require(r == table->Record(static_cast<int>(slot + 1)), "record and image disagree");
        Require(WithinFields(r), "vault text longer than its field or not UTF-8");
        Require(!HasNul(r), "NUL inside a vault text");
        const InfectionRecord read =
            InfectionRecord::ReadFrom(data + slot * InfectionRecord::kSize);
        Require(r == Kept(read), "whole vault record not read as stored");
    }

    auto again = std::make_unique<VaultTable>();
    again->LoadFileImage(image.data(), image.size());
    for (int k = 1; k <= again->Count(); ++k)
        Require(again->Record(k) == table->Record(k), "record changes when read back");
    Require(again->Count() <= count, "records appear when read back");
}

// Random edits of the table beside a list doing the same.
void CheckVaultEdits(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    auto table = std::make_unique<VaultTable>();
    std::vector<InfectionRecord> model;
    for (int op = 0; op < 200 && !in.Empty(); ++op) {
        const std::uint8_t code = in.Byte();
        switch (code % 5) {
            case 0:
            case 1: {
                InfectionRecord r{in.Text(), in.Text(), in.Text()};
                // Full tables are reached without a thousand separate ops.
                const int copies = code >= 250 ? 400 : 1;
                for (int i = 0; i < copies; ++i) {
                    const bool added = table->Append(r);
                    Require(added == (model.size() < 1000), "append refused or not refused");
                    if (added) model.push_back(Kept(r));
                }
                break;
            }
            case 2:
                table->WithdrawLast();
                if (!model.empty()) model.pop_back();
                break;
            case 3: {
                const int low = in.Byte();
                const int k = (low | in.Byte() << 8) % 1003 - 1;
                const bool valid = k >= 1 && k <= static_cast<int>(model.size());
                try {
                    table->Remove(k);
                    Require(valid, "removed a record outside the count");
                    model.erase(model.begin() + (k - 1));
                } catch (const std::out_of_range&) {
                    Require(!valid, "refused to remove a valid record");
                }
                break;
            }
            default: {
                const std::string path = in.Text();
                const bool found =
                    std::any_of(model.begin(), model.end(),
                                [&](const InfectionRecord& r) { return r.FilePath == path; });
                Require(table->IsInVault(path) == found, "vault lookup disagrees");
                break;
            }
        }
        Require(table->Count() == static_cast<std::int32_t>(model.size()), "count disagrees");
    }
    for (std::size_t i = 0; i < model.size(); ++i)
        Require(table->Record(static_cast<int>(i + 1)) == model[i], "record disagrees");
    // Slots past the count stay empty, so a damaged count brings back nothing.
    const std::vector<std::uint8_t> image = table->FileImage();
    for (std::size_t slot = model.size(); slot < tolvar::kVaultSlots; ++slot)
        Require(SlotOf(image, slot) == InfectionRecord{}, "leftover past the count");
}

void CheckScanDump(const std::uint8_t* data, std::size_t size) {
    auto table = std::make_unique<tolvar::InfectionTable>();
    tolvar::LoadInfectionTable(*table, data, size);
    const std::size_t available = std::min(size, tolvar::kInfectionTableBytes);
    for (std::size_t slot = 0; slot < table->size(); ++slot) {
        const InfectionRecord& r = (*table)[slot];
        Require(WithinFields(r), "dump text longer than its field or not UTF-8");
        if (slot * InfectionRecord::kSize >= available)
            Require(r == InfectionRecord{}, "dump slot past the file's end not empty");
    }
    const std::vector<std::uint8_t> dump = tolvar::DumpInfectionTable(*table);
    Require(dump.size() == tolvar::kInfectionTableBytes, "dump not 281500 bytes");
    auto again = std::make_unique<tolvar::InfectionTable>();
    tolvar::LoadInfectionTable(*again, dump.data(), dump.size());
    Require(*again == *table, "dump changes when read back");
}

void CheckRecord(const std::uint8_t* window) {
    const InfectionRecord r = InfectionRecord::ReadFrom(window);
    Require(WithinFields(r), "record text longer than its field or not UTF-8");
    std::array<std::uint8_t, InfectionRecord::kSize> written{};
    r.WriteTo(written.data());
    Require(InfectionRecord::ReadFrom(written.data()) == r, "record changes when written back");
}

void CheckRecords(const std::uint8_t* data, std::size_t size) {
    if (size < InfectionRecord::kSize) {
        std::array<std::uint8_t, InfectionRecord::kSize> padded{};
        std::copy(data, data + size, padded.begin());
        CheckRecord(padded.data());
        return;
    }
    for (std::size_t start = 0; start + InfectionRecord::kSize <= size;
         start += InfectionRecord::kSize)
        CheckRecord(data + start);
    // A window off the slot grid as well: lengths land on text bytes.
    CheckRecord(data + (size - InfectionRecord::kSize));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckVaultFile(data, size);
    CheckVaultEdits(data, size);
    CheckScanDump(data, size);
    CheckRecords(data, size);
    return 0;
}

#pragma once

// A scan that finds real files, an empty vault made the program's way, the
// removal's and the restore's recording windows, and the tools the vault
// tests need: the records as the disk holds them, a folder link.

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "access_lists.h"
#include "core/atomic_file.h"
#include "core/registry_win.h"
#include "core/settings.h"
#include "core/settings_record.h"
#include "quarantine/removal.h"
#include "quarantine/restore.h"
#include "quarantine/vault.h"
#include "recording_views.h"
#include "scan_fixture.h"

namespace tolvar::test {

// The vault's records as the disk holds them: records.gav read with the
// count stored in the settings record, as a start reads them.
inline std::unique_ptr<VaultTable> StoredVault() {
    auto table = std::make_unique<VaultTable>();
    const std::vector<std::uint8_t> bytes = ReadWholeFile(VaultRecordsPath());
    SettingsRecord stored;
    const std::optional<std::size_t> read =
        RegistryKey("sysdata").ReadBinary(stored.MutableBytes().data(), SettingsRecord::kSize);
    table->LoadFileImage(bytes.data(), bytes.size(),
                         read == SettingsRecord::kSize
                             ? std::optional<std::int32_t>(stored.StoredVaultCount())
                             : std::nullopt,
                         &FileExists);
    return table;
}

// Under Wine: the Unix path of a Windows path, and a Unix program run to its
// end. Wine makes no links of its own; a Unix link it follows as Windows
// follows a junction.
inline std::string UnixPath(const std::string& path) {
    using UnixName = char*(CDECL*)(const WCHAR*);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) return "";
    const std::wstring wide(path.begin(), path.end());
    char* name = unixName(wide.c_str());
    const std::string text = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return text;
}

inline bool RunUnix(const char* program, std::string command) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    const UniqueHandle processHandle(process.hProcess);
    const UniqueHandle thread(process.hThread);
    return WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0;
}

inline bool IsLink(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Makes link a symbolic link to the folder target.
inline bool MakeFolderLink(const std::string& link, const std::string& target) {
    CreateSymbolicLinkA(
        link.c_str(), target.c_str(),
        SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    if (IsLink(link)) return true;
    if (UnixPath(link).empty()) return false;
    RunUnix("Z:\\bin\\ln", "ln -s \"" + UnixPath(target) + "\" \"" + UnixPath(link) + "\"");
    return PumpUntil([&] { return IsLink(link); }, 10000);
}

// Removes a link that MakeFolderLink made, not what it leads to.
inline void RemoveFolderLink(const std::string& link) {
    if (!IsLink(link) || RemoveDirectoryA(link.c_str())) return;
    RunUnix("Z:\\bin\\rm", "rm \"" + UnixPath(link) + "\"");
    PumpUntil([&] { return !IsLink(link); }, 10000);
}

// A folder link for as long as this lives: the folders' removal after a test
// must not go through it.
class FolderLink {
public:
    FolderLink(std::string link, const std::string& target) : link_(std::move(link)) {
        made_ = MakeFolderLink(link_, target);
    }
    ~FolderLink() { RemoveFolderLink(link_); }
    FolderLink(const FolderLink&) = delete;
    FolderLink& operator=(const FolderLink&) = delete;
    bool made() const { return made_; }

private:
    std::string link_;
    bool made_ = false;
};

// A path as the fake scanner's script takes it: backslashes doubled.
inline std::string Escaped(const std::string& path) {
    std::string escaped;
    for (char c : path)
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return escaped;
}

class Quarantine : public Scans {
protected:
    Quarantine() {
        // The vault as a first start makes it: a new folder, no records.
        std::filesystem::remove_all(VaultFolder());
        Settings().SetStoredVaultCount(0);
        LoadVault(std::nullopt);
    }
    ~Quarantine() override {
        std::filesystem::remove_all(VaultFolder());
        Vault().LoadFileImage(nullptr, 0);
        Settings().SetStoredVaultCount(0);
    }

    // Makes the files and a scan that finds each of them.
    void scanFinding(const std::vector<std::string>& names) {
        std::vector<std::string> lines;
        for (const std::string& name : names) {
            const std::string file = target(name);
            std::ofstream(file, std::ios::binary) << "infected:" << name;
            lines.push_back("out " + Escaped(file) + ": Worm." + name + " FOUND\\n");
        }
        lines.push_back("exit 1");
        script(lines);
        scan.StartOrResumeScan();
        ASSERT_TRUE(waitIdle());
        ASSERT_EQ(scan.Parser().InfectionCount(), static_cast<int>(names.size()));
    }

    std::string target(const std::string& name) { return path("target") + "\\" + name; }
    static std::string content(const std::string& file) { return Content(file); }

    // The files in the vault folder whose names end with this text.
    static int vaultFilesEndingWith(const std::string& end) {
        int n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(VaultFolder())) {
            const std::string name = entry.path().filename().string();
            n += name.size() >= end.size() &&
                 name.compare(name.size() - end.size(), end.size(), end) == 0;
        }
        return n;
    }

    // Lists a vault record selected, as the page's list does.
    void select(int row) {
        list.ShowVaultRows(Vault());
        list.selected = row;
    }

    InlineRemovalWindows windows;
    RecordingVaultList list;
};

}  // namespace tolvar::test

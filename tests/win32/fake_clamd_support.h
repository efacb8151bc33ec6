#pragma once

// What the tests that start fake_clamd.exe share: where it is, and the
// owners of a port of 127.0.0.1 as the system's table lists them, with the
// owner Wine leaves out taken from the fake's own record.

#include <windows.h>

#include <tlhelp32.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/ascii_text.h"
#include "core/handles_win.h"
#include "core/loopback_port_win.h"

namespace tolvar::test {

inline std::string BesideTests(const std::string& name) {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    return (std::filesystem::path(self).parent_path() / name).string();
}

// The lines of a fake clamd's record (TOLVAR_FAKE_CLAMD_RECORD) that begin
// with start.
inline std::vector<std::string> RecordedLines(const std::string& record, const std::string& start) {
    std::ifstream in(record);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (line.rfind(start, 0) == 0) lines.push_back(line);
    return lines;
}

// The last fake clamd that bound port, by its record "listen <pid> <port>".
inline DWORD RecordedListener(const std::string& record, std::uint16_t port) {
    DWORD id = 0;
    for (const std::string& line : RecordedLines(record, "listen ")) {
        std::istringstream fields(line.substr(7));
        DWORD pid = 0;
        unsigned bound = 0;
        if (fields >> pid >> bound && bound == port) id = pid;
    }
    return id;
}

// Wine's table of listeners names no owner (process id 0 on every row, also
// for a process's own socket): the rows stay the system's, and each owner
// Wine leaves out is the fake clamd that recorded it bound the port.
inline std::function<std::optional<std::vector<DWORD>>(std::uint16_t, std::string&)>
OwnersAsRecorded(std::string record) {
    return [record](std::uint16_t port, std::string& error) {
        std::optional<std::vector<DWORD>> owners = LoopbackListeners(port, error);
        if (owners) {
            for (DWORD& owner : *owners)
                if (owner == 0) owner = RecordedListener(record, port);
        }
        return owners;
    };
}

// The clamd.exe this process started (the clamd bridge, for the tests of
// the program's own clamd), by the system's list of processes.
inline DWORD OwnClamdChild() {
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID == GetCurrentProcessId() &&
            EqualIgnoringCase(entry.szExeFile, "clamd.exe")) {
            return entry.th32ProcessID;
        }
    }
    return 0;
}

// As OwnersAsRecorded, with each owner Wine leaves out taken to be this
// process's clamd.exe.
inline std::optional<std::vector<DWORD>> OwnersAsOwnClamdChild(std::uint16_t port,
                                                               std::string& error) {
    std::optional<std::vector<DWORD>> owners = LoopbackListeners(port, error);
    if (owners) {
        for (DWORD& owner : *owners)
            if (owner == 0) owner = OwnClamdChild();
    }
    return owners;
}

}  // namespace tolvar::test

#include "core/loopback_port_win.h"

// The socket declarations before the helper library's, which use them.
#include <winsock2.h>
#include <ws2tcpip.h>
// (apart, so that sorting keeps the order)
#include <iphlpapi.h>

#include "core/app_error.h"
#include "core/handles_win.h"
#include "core/system_error_win.h"
#include "core/system_library_win.h"
#include "core/tcp_connection_win.h"

namespace tolvar {

std::optional<std::uint16_t> FreeLoopbackPort(std::string& error) {
    try {
        EnsureWinsock();
    } catch (const AppError& e) {
        error = e.what();
        return std::nullopt;
    }
    const UniqueSocket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!socket) {
        error = "no socket: " + SystemErrorText(WSAGetLastError());
        return std::nullopt;
    }
    BOOL exclusive = TRUE;
    setsockopt(socket.get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
               reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(socket.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        error = "no free port on 127.0.0.1: " + SystemErrorText(WSAGetLastError());
        return std::nullopt;
    }
    return ntohs(address.sin_port);
}

std::optional<std::vector<DWORD>> LoopbackListeners(std::uint16_t port, std::string& error) {
    // From the system folder, never by name at start-up: the program runs
    // elevated, and a DLL of that name beside it must not be loaded.
    using TableFn = DWORD(WINAPI*)(PVOID, PDWORD, BOOL, ULONG, TCP_TABLE_CLASS, ULONG);
    const UniqueModule library(LoadSystemLibrary("iphlpapi.dll"));
    const auto getTable = library ? reinterpret_cast<TableFn>(reinterpret_cast<void*>(
                                        GetProcAddress(library.get(), "GetExtendedTcpTable")))
                                  : nullptr;
    if (!getTable) {
        error = "the system's table of listening ports is not available";
        return std::nullopt;
    }
    std::vector<unsigned char> table;
    DWORD size = 0;
    DWORD status = ERROR_INSUFFICIENT_BUFFER;
    // The table can grow between the two calls.
    for (int attempt = 0; attempt < 5 && status == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
        table.resize(size);
        status = getTable(table.empty() ? nullptr : table.data(), &size, FALSE, AF_INET,
                          TCP_TABLE_OWNER_PID_LISTENER, 0);
    }
    if (status != NO_ERROR) {
        error =
            "the system's table of listening ports could not be read: " + SystemErrorText(status);
        return std::nullopt;
    }
    std::vector<DWORD> owners;
    if (table.size() < sizeof(MIB_TCPTABLE_OWNER_PID)) return owners;
    const auto* rows = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(table.data());
    for (DWORD i = 0; i < rows->dwNumEntries; ++i) {
        const MIB_TCPROW_OWNER_PID& row = rows->table[i];
        if (ntohs(static_cast<u_short>(row.dwLocalPort)) != port) continue;
        const DWORD local = ntohl(row.dwLocalAddr);
        if (local == INADDR_LOOPBACK || local == INADDR_ANY) owners.push_back(row.dwOwningPid);
    }
    return owners;
}

}  // namespace tolvar

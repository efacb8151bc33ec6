#include "updates/freshclam_config.h"

#include "core/app_error.h"
#include "core/ascii_text.h"
#include "core/command_line.h"
#include "updates/mirror_address.h"

namespace tolvar {

namespace {

std::string WithoutClosingBackslash(std::string folder) {
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    return folder;
}

// One setting. The updater takes a value in double quotes up to the line's
// last quote, so blanks and quotes inside it stay as typed.
std::string Setting(const char* name, std::string_view value, const char* field) {
    for (char c : value) {
        if (static_cast<unsigned char>(c) < 0x20) {
            throw AppError(std::string("The proxy's ") + field +
                           " holds a line break or another control character.");
        }
    }
    return std::string(name) + " \"" + std::string(value) + "\"\n";
}

}  // namespace

bool UpdatesThroughFreshclam(bool freshclamPresent, std::string_view configuredMirror) {
    return freshclamPresent && Trim(configuredMirror).empty();
}

std::string FreshclamConfig(const std::string& databaseFolder, const ProxySettings& proxy) {
    std::string config =
        "# ClamAV's updater as Tolvar AntiVirus runs it; written anew before each update.\n";
    config +=
        Setting("DatabaseDirectory", WithoutClosingBackslash(databaseFolder), "database folder");
    config += "DatabaseMirror " + std::string(kDefaultMirror) + "\n";
    const std::string_view server = Trim(proxy.server);
    if (!proxy.use || server.empty()) return config;
    config += Setting("HTTPProxyServer", server, "server");
    const std::string_view port = Trim(proxy.port);
    if (!port.empty()) {
        const bool digits =
            port.size() <= 5 && port.find_first_not_of("0123456789") == std::string_view::npos;
        if (!digits || std::stoi(std::string(port)) < 1 || std::stoi(std::string(port)) > 65535) {
            throw AppError("The proxy's port \"" + std::string(port) + "\" is not a port number.");
        }
        config += "HTTPProxyPort " + std::string(port) + "\n";
    }
    if (!proxy.user.empty()) {
        config += Setting("HTTPProxyUsername", proxy.user, "user name");
        // The updater refuses an empty value; no line is no password.
        if (!proxy.password.empty()) {
            config += Setting("HTTPProxyPassword", proxy.password, "password");
        }
    }
    return config;
}

std::string FreshclamCommandLine(const std::string& executable, const std::string& configFile,
                                 const std::string& databaseFolder) {
    std::string command = QuoteArgument(executable);
    command += " --config-file=" + QuoteArgument(configFile);
    command += " --datadir=" + QuoteArgument(WithoutClosingBackslash(databaseFolder));
    command += " --show-progress --stdout";
    return command;
}

}  // namespace tolvar

#include "scan/scanner_command.h"

#include <cstddef>

#include "core/utf8_text.h"

namespace tolvar {

std::string QuoteArgument(std::string_view text) {
    if (text.find_first_of(" \t") == std::string_view::npos) return std::string(text);
    // Windows file names cannot hold a double quote, so only the closing
    // backslashes need care: "C:\My Folder\" would otherwise swallow the
    // closing quote and merge with the next argument.
    const std::size_t lastOther = text.find_last_not_of('\\');
    const std::size_t closingBackslashes =
        lastOther == std::string_view::npos ? text.size() : text.size() - lastOther - 1;
    std::string quoted;
    quoted.reserve(text.size() + closingBackslashes + 2);
    quoted += '"';
    quoted += text;
    quoted.append(closingBackslashes, '\\');
    quoted += '"';
    return quoted;
}

std::string BuildScannerCommandLine(const std::string& programFolder,
                                    const std::string& databaseFolder,
                                    const std::vector<std::string>& folders,
                                    bool dailyDatabaseExists, const std::string& fileList) {
    std::string command = QuoteArgument(programFolder + "bin\\snr\\1\\9\\clamscan.exe");
    command += " --recursive --memory --unload --kill --database=";
    command += QuoteArgument(databaseFolder + "main.cvd");
    if (dailyDatabaseExists) {
        command += " --database=";
        command += QuoteArgument(databaseFolder + "daily.cvd");
    }
    if (!fileList.empty()) {
        command += " --file-list=";
        command += QuoteArgument(fileList);
        return command;
    }
    for (const std::string& folder : folders) {
        command += ' ';
        command += QuoteArgument(folder);
    }
    return command;
}

bool NeedsFileList(const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
        if (!IsPlainAscii(folder)) return true;
    }
    return false;
}

std::string FileListText(const std::vector<std::string>& folders) {
    std::string text;
    for (const std::string& folder : folders) {
        text += folder;
        text += '\n';
    }
    return text;
}

}  // namespace tolvar

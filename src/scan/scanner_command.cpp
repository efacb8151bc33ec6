#include "scan/scanner_command.h"

#include <cstddef>

#include "core/utf8_text.h"
#include "scan/excluded_folders.h"

namespace tolvar {

std::string BuildScannerCommandLine(const std::string& programFolder,
                                    const std::vector<std::string>& databaseFiles,
                                    const std::vector<std::string>& folders,
                                    const std::string& fileList,
                                    const std::vector<std::string>& excludedFolders) {
    std::string command = QuoteArgument(programFolder + "bin\\snr\\1\\9\\clamscan.exe");
    command += " --recursive --memory --unload --kill";
    for (const std::string& file : databaseFiles) {
        command += " --database=";
        command += QuoteArgument(file);
    }
    for (const std::string& folder : excludedFolders) {
        command += " --exclude-dir=";
        command += QuoteArgument(ClamscanExcludePattern(folder));
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

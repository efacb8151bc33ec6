#include "scan/scanner_command.h"

namespace tolvar {

std::string BuildScannerCommandLine(const std::string& programFolder,
                                    const std::string& databaseFolder,
                                    const std::vector<std::string>& databaseFiles,
                                    const std::vector<std::string>& folders) {
    std::string command = QuoteArgument(programFolder + "bin\\snr\\1\\9\\clamscan.exe");
    command += " --recursive --memory --unload --kill";
    if (databaseFiles.empty()) {
        command += " --database=";
        command += QuoteArgument(databaseFolder + "main.cvd");
    }
    for (const std::string& file : databaseFiles) {
        command += " --database=";
        command += QuoteArgument(file);
    }
    for (const std::string& folder : folders) {
        command += ' ';
        command += QuoteArgument(folder);
    }
    return command;
}

}  // namespace tolvar

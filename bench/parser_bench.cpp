// The parser runs on the user-interface thread for every line the scanner
// writes, and a whole-disk scan writes millions of lines and discovers
// hundreds of thousands of folders: neither the per-line path nor the folder
// list's duplicate check may become the bottleneck. (The whole program with
// its windows is measured by scan_flood.sh.)

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "scan/report_parser.h"

namespace tolvar {
namespace {

// Every folder holds the same few entries: two subfolders (one a plain
// directory, one an extensionless file) that join the list, and the rest
// that are skipped.
struct FewEntriesLister : FolderLister {
    const std::vector<Entry> entries = {
        {".", 0x10}, {"..", 0x10}, {"sub", 0x10}, {"notes.txt", 0x20}, {"README", 0x20}};
    void List(const std::string&, const std::function<void(const Entry&)>& each) override {
        for (const Entry& e : entries)
            each(e);
    }
};

std::string FolderPath(std::size_t n) {
    char text[64];
    std::snprintf(text, sizeof text, "C:\\Data\\Projects\\f%07zu\\", n);
    return text;
}

// A quadratic duplicate check shows as time per folder growing with the
// count; the complexity fit reports it.
void BM_AddDistinctFolders(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    std::vector<std::string> paths;
    paths.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        paths.push_back(FolderPath(i));
    FewEntriesLister lister;
    ReportParser parser(lister);
    for (auto _ : state) {
        state.PauseTiming();
        parser.BeginScan({"C:\\"});
        state.ResumeTiming();
        for (const std::string& path : paths)
            parser.AddFolder(path);
        benchmark::DoNotOptimize(parser.FolderList().data());
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AddDistinctFolders)
    ->Arg(50'000)
    ->Arg(100'000)
    ->Arg(200'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

constexpr std::size_t kFolders = 100'000;
constexpr std::size_t kFilesPerFolder = 10;

// Ten clean files per folder, a detection in every thousandth folder and
// the scanner's summary at the end, with CR LF endings as on Windows.
std::string SyntheticReport(std::size_t& lines) {
    std::string report;
    lines = 0;
    char line[128];
    for (std::size_t folder = 0; folder < kFolders; ++folder) {
        for (std::size_t file = 0; file < kFilesPerFolder; ++file) {
            const bool infected = folder % 1000 == 0 && file == 0;
            std::snprintf(line, sizeof line, "C:\\Data\\Projects\\f%07zu\\file%02zu.dat: %s\r\n",
                          folder, file, infected ? "Win.Test.EICAR_HDB-1 FOUND" : "OK");
            report += line;
            ++lines;
        }
    }
    for (const char* summary :
         {"\r\n", "----------- SCAN SUMMARY -----------\r\n", "Known viruses: 8712345\r\n",
          "Scanned directories: 100000\r\n", "Scanned files: 1000000\r\n"}) {
        report += summary;
        ++lines;
    }
    return report;
}

void BM_ParseReport(benchmark::State& state) {
    std::size_t lines = 0;
    const std::string report = SyntheticReport(lines);
    FewEntriesLister lister;
    ReportParser parser(lister);
    constexpr std::size_t kChunk = 1024;  // what one pipe read delivers at most
    for (auto _ : state) {
        parser.BeginScan({"C:\\"});
        std::string pending;
        for (std::size_t at = 0; at < report.size(); at += kChunk) {
            pending.append(report, at, kChunk);
            parser.AssembleLines(pending);
        }
        benchmark::DoNotOptimize(parser.ItemsScanned());
    }
    state.counters["folders"] = static_cast<double>(parser.FolderList().size());
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(report.size()));
}
BENCHMARK(BM_ParseReport)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tolvar

BENCHMARK_MAIN();

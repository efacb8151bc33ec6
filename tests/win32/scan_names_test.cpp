// File names with any characters, from the scanner's report to the vault and
// back: the program's code page is UTF-8 (as its manifest asks), the report
// is read in the code page the scanner wrote it in, a name written with "?"
// is mended from its folder, folders that the command line of an older
// scanner cannot carry go through a file list, and only the program's own
// data folder hides a detection.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/code_pages.h"
#include "core/folders.h"
#include "core/settings.h"
#include "framework/bitmap_win.h"
#include "framework/font_win.h"
#include "framework/form_win.h"
#include "framework/label_win.h"
#include "quarantine/removal.h"
#include "quarantine/restore.h"
#include "quarantine/vault.h"
#include "scan/report_paths.h"
#include "scan_fixture.h"

namespace tolvar {
namespace {

namespace fs = std::filesystem;

// "Rechnung März счёт 請求書.com", as it is and as clamscan.exe 1.4 writes it
// in the OEM code page 437 or 850 (both have "ä" as 0x84 and neither has
// Cyrillic or CJK letters: one "?" for each).
const std::string kInvoice =
    "Rechnung M\xC3\xA4rz \xD1\x81\xD1\x87\xD1\x91\xD1\x82 "
    "\xE8\xAB\x8B\xE6\xB1\x82\xE6\x9B\xB8.com";
const std::string kInvoiceOem = "Rechnung M\x84rz ???? ???.com";

std::wstring Wide(const std::string& utf8) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

bool WideFileExists(const std::string& utf8) {
    return GetFileAttributesW(Wide(utf8).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Escaped(const std::string& bytes) {
    std::string out;
    for (const char c : bytes)
        out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

class Names : public test::Scans {
protected:
    Names() {
        fs::remove_all(VaultFolder());
        fs::create_directories(VaultFolder());
        Vault().LoadFileImage(nullptr, 0);
        folder_ = path("Mirebrook Downloads");
        CreateDirectoryA(folder_.c_str(), nullptr);
    }
    ~Names() override {
        Vault().LoadFileImage(nullptr, 0);
        Settings().SetStoredVaultCount(0);
    }

    // A file made through the program's own "A" calls, so in UTF-8.
    std::string makeFile(const std::string& name, const std::string& content) {
        const std::string file = folder_ + "\\" + name;
        UniqueHandle h(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        WriteFile(h.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        return file;
    }

    static std::string content(const std::string& file) {
        UniqueHandle h(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
        std::string bytes(4096, '\0');
        DWORD got = 0;
        ReadFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
        bytes.resize(got);
        return bytes;
    }

    std::string folder_;
};

// Guards against a program that passes UTF-8 to "A" calls while Windows
// reads them in another code page: names would be stored, created and
// drawn as something else.
TEST_F(Names, TheProgramsCodePageIsUtf8AndTheSystemsOwnPagesComeFromTheRegistry) {
    EXPECT_EQ(GetACP(), 65001u);
    const LegacyCodePages pages = SystemCodePages();
    EXPECT_NE(pages.ansi, 65001u);
    EXPECT_NE(pages.oem, 65001u);
    char stored[16] = "";
    DWORD size = sizeof stored;
    ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage",
                           "OEMCP", RRF_RT_REG_SZ, nullptr, stored, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::to_string(pages.oem), stored);

    const std::string file = makeFile(kInvoice, "x");
    EXPECT_TRUE(WideFileExists(file));

    // A label showing a file name draws it as Windows draws the name itself
    // (GDI reads "A" text in the font's code page, not the program's).
    const std::string name = "Zo\xC3\xAB \xD0\x96 \xE8\xAB\x8B";
    Form form("names", 200, 40);
    Label& label = form.add<Label>(0, 0, 120, 20, name);
    label.setTransparent(false);
    label.setBackground(RGB(255, 255, 255));
    const UniqueFont font = CreateFontFrom(label.font());
    auto draw = [&](bool throughLabel) {
        Bitmap bitmap(120, 20);
        {
            BitmapCanvas canvas(bitmap);
            if (throughLabel) {
                label.paint(canvas.dc());
            } else {
                RECT all{0, 0, 120, 20};
                FillRect(canvas.dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
                ScopedSelect selectFont(canvas.dc(), font.get());
                SetBkMode(canvas.dc(), TRANSPARENT);
                std::wstring wide = Wide(name);
                DrawTextW(canvas.dc(), wide.data(), static_cast<int>(wide.size()), &all,
                          DT_NOPREFIX | DT_SINGLELINE);
            }
        }
        std::vector<COLORREF> pixels;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 120; ++x)
                pixels.push_back(bitmap.pixel(x, y));
        return pixels;
    };
    const std::vector<COLORREF> expected = draw(false);
    EXPECT_EQ(draw(true), expected);
    EXPECT_NE(std::count(expected.begin(), expected.end(), RGB(255, 255, 255)),
              static_cast<std::ptrdiff_t>(expected.size()));  // something was drawn
}

// The fault: the OEM report was read as ANSI, the name stored was another
// one, the removal failed "file not found" and the vault showed garbage.
TEST_F(Names, AFileWithAnyCharactersIsFoundRemovedAndRestoredFromAnOemReport) {
    const std::string file = makeFile(kInvoice, "infected invoice");
    makeFile("readme.txt", "clean");
    script({"out " + Escaped(folder_ + "\\readme.txt") + ": OK\\r\\n",
            "out " + Escaped(folder_ + "\\" + kInvoiceOem) + ": Eicar-Test-Signature FOUND\\r\\n",
            "exit 1"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(scan.Parser().InfectionCount(), 1);
    EXPECT_EQ(scan.Parser().Table()[0].FilePath, file);
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0].FilePath, file);

    test::InlineRemovalWindows windows;
    StartRemoval(scan, windows);
    EXPECT_FALSE(WideFileExists(file));
    ASSERT_EQ(Vault().Count(), 1);
    EXPECT_EQ(Vault().Record(1).FilePath, file);
    EXPECT_EQ(content(Vault().Record(1).VaultPath), "infected invoice");
    EXPECT_EQ(windows.done, (std::vector<std::pair<int, int>>{{1, 0}}));

    test::RecordingVaultList list;
    list.ShowVaultRows(Vault());
    list.selected = 0;
    RestoreToOriginal(list);
    EXPECT_EQ(content(file), "infected invoice");
    EXPECT_EQ(Vault().Count(), 0);
}

TEST_F(Names, AUtf8ReportNamesTheFileAsItIs) {
    const std::string file = makeFile(kInvoice, "infected");
    script({"out " + Escaped(file) + ": Eicar-Test-Signature FOUND\\n", "exit 1"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(scan.Parser().InfectionCount(), 1);
    EXPECT_EQ(scan.Parser().Table()[0].FilePath, file);
}

// Two files fit the name the scanner wrote: acting on either could remove
// the wrong one.
TEST_F(Names, ANameThatFitsTwoFilesIsListedAndCountedButNothingIsRemoved) {
    const std::string first = makeFile("\xD0\x90.exe", "one");   // Cyrillic A
    const std::string second = makeFile("\xD0\x91.exe", "two");  // Cyrillic Be
    script({"out " + Escaped(folder_) + "\\\\?.exe: Worm FOUND\\n", "exit 1"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(scan.Parser().InfectionCount(), 1);
    EXPECT_FALSE(IsRemovable(scan.Parser().Table()[0]));
    EXPECT_EQ(Statistics().LastInfectionsFound(), 1);

    test::InlineRemovalWindows windows;
    StartRemoval(scan, windows);
    EXPECT_TRUE(WideFileExists(first));
    EXPECT_TRUE(WideFileExists(second));
    EXPECT_EQ(Vault().Count(), 0);
    EXPECT_EQ(windows.done, (std::vector<std::pair<int, int>>{{0, 1}}));
}

// The fault: any folder called "Mirebrook" hid the malware in it.
TEST_F(Names, OnlyTheDataFolderHidesADetection) {
    CreateDirectoryA(path("Mirebrook").c_str(), nullptr);
    std::string dataFolder = Folders().DataFolder;
    for (char& c : dataFolder)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    script({"out " + Escaped(dataFolder) + "virus_vault\\\\x.exe: Worm FOUND\\n",
            "out " + Escaped(path("Mirebrook")) + "\\\\y.exe: Worm FOUND\\n",
            "out " + Escaped(folder_) + "\\\\z.exe: Worm FOUND\\n", "exit 1"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(scan.Parser().InfectionCount(), 2);
    EXPECT_EQ(scan.Parser().Table()[0].FilePath, path("Mirebrook") + "\\y.exe");
    EXPECT_EQ(scan.Parser().Table()[1].FilePath, folder_ + "\\z.exe");
}

// The fault: an older scanner reads its command line in the ANSI code page
// and never finds a folder whose name that page lacks.
TEST_F(Names, FoldersWithAnyCharactersReachTheScannerThroughAFileList) {
    const std::string other = path("\xD0\x97\xD0\xBE\xD1\x8F \xE8\xAB\x8B") + "\\";
    const std::string plain = path("target") + "\\";
    scan.fixedDrives = [&] { return std::vector<std::string>{other, plain}; };
    script({"args " + path("args.txt"), "list " + path("list.txt"), "exit 0"});
    scan.StartOrResumeScan();
    ASSERT_TRUE(waitIdle());
    const std::vector<std::string> args = readLines("args.txt");
    ASSERT_GE(args.size(), 6u);
    const std::string listArg = args.back();
    ASSERT_EQ(listArg.rfind("--file-list=", 0), 0u) << listArg;
    for (const std::string& arg : args)
        EXPECT_EQ(arg.find(plain), std::string::npos) << arg;  // no folder on the line
    EXPECT_EQ(readLines("list.txt"), (std::vector<std::string>{other, plain}));
    // The list is the scan's own and goes with it.
    EXPECT_FALSE(fs::exists(listArg.substr(12)));
}

}  // namespace
}  // namespace tolvar

#include "ui/vault_list_win.h"

#include "core/clock.h"
#include "core/date_serial.h"
#include "core/folders.h"
#include "core/utf8_text.h"
#include "core/wide_text_win.h"
#include "framework/form_win.h"
#include "framework/gdi_handles_win.h"
#include "framework/list_box_win.h"
#include "quarantine/vault.h"
#include "quarantine/vault_clean_up.h"
#include "quarantine/vault_delete.h"
#include "quarantine/vault_table.h"
#include "scan/choose_folder.h"

namespace tolvar {

namespace {

constexpr int kNameLeft = 10;
constexpr int kPathLeft = 280;
// The least room the path keeps before the date gives way.
constexpr int kLeastPathWidth = 120;
constexpr int kColumnGap = 8;

int TextWidth(HDC dc, const std::wstring& text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

// The text cut to fit width, with "..." where it was cut.
std::wstring FitWidth(HDC dc, std::wstring text, int width) {
    if (TextWidth(dc, text) <= width) return text;
    const std::wstring dots = L"...";
    while (!text.empty() && TextWidth(dc, text + dots) > width)
        text.pop_back();
    return text + dots;
}

void Write(HDC dc, int x, int y, const std::wstring& text) {
    TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

}  // namespace

std::string VaultedDateOf(const std::string& vaultPath) {
    // The time the clean-up ages the copy by.
    const std::optional<std::int64_t> vaulted = CreationTimeOf(vaultPath);
    if (!vaulted) return "";
    const auto steps = static_cast<std::uint64_t>(*vaulted);
    const FILETIME utc{static_cast<DWORD>(steps), static_cast<DWORD>(steps >> 32)};
    FILETIME local{};
    SYSTEMTIME day{};
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &day)) {
        return "";
    }
    return ShortDateOf(DateSerial(day.wYear, day.wMonth, day.wDay));
}

VaultList::VaultList(ListBox& list, Form& owner)
    : chooseFolder([] { return tolvar::ChooseFolder("Select a Folder", 1); }),
      messageBox([&owner](const std::string& text, unsigned flags) {
          return MessageBoxA(owner.handle(), text.c_str(), "Tolvar Antivirus", flags);
      }),
      list_(list) {}

std::vector<int> VaultList::SelectedRows() const {
    return list_.selectedIndexes();
}

void VaultList::ShowVaultRows(const VaultTable& vault) {
    list_.clear();
    for (int k = 1; k <= vault.Count(); ++k)
        list_.addItem(vault.Record(k).VirusName);
}

bool VaultList::Ask(const std::string& question) {
    return messageBox(question, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void VaultList::Tell(const std::string& notice) {
    messageBox(notice, MB_OK | MB_ICONWARNING);
}

std::string VaultList::ChooseFolder() {
    return chooseFolder();
}

void VaultList::RestoreToOriginal() {
    tolvar::RestoreToOriginal(*this);
}

void VaultList::RestoreToFolder() {
    tolvar::RestoreToFolder(*this);
}

void VaultList::RestoreAndAllow() {
    tolvar::RestoreAndAllow(*this, Folders().DatabaseFolder, allowListChanged);
}

void VaultList::DeleteFromVault() {
    tolvar::DeleteFromVault(*this);
}

void VaultList::DrawRow(HDC dc, const ListRow& row) const {
    // Rows alternate light grey and white; the selected ones show the
    // system's selection, so that a command's rows are seen before it runs.
    const int r = row.index;
    UniqueBrush own(CreateSolidBrush(r % 2 ? RGB(255, 255, 255) : RGB(233, 233, 233)));
    FillRect(dc, &row.rect, row.selected ? GetSysColorBrush(COLOR_HIGHLIGHT) : own.get());
    if (r < 0 || r >= Vault().Count()) return;
    const InfectionRecord& record = Vault().Record(r + 1);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, row.selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : RGB(128, 128, 128));
    // Wide: GDI would read UTF-8 "A" text in the font's code page.
    const std::wstring name = Utf8ToWide(Utf8FirstChars(record.VirusName, 55));
    std::wstring path = Utf8ToWide(Utf8FirstChars(record.FilePath, 75));
    const std::wstring date = Utf8ToWide(VaultedDateOf(record.VaultPath));
    const int pathLeft = row.rect.left + kPathLeft;
    const int dateLeft = row.rect.right - kColumnGap - TextWidth(dc, date);
    const bool dateFits = !date.empty() && dateLeft - kColumnGap - pathLeft >= kLeastPathWidth;
    if (dateFits) path = FitWidth(dc, path, dateLeft - kColumnGap - pathLeft);
    Write(dc, row.rect.left + kNameLeft, row.rect.top, name);
    Write(dc, pathLeft, row.rect.top, path);
    if (dateFits) Write(dc, dateLeft, row.rect.top, date);
}

}  // namespace tolvar

// The program's start when the registry does not let it store what it
// changed: the error is told, and the window still comes up whole.

#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <type_traits>
#include <vector>

#include "app/program_win.h"
#include "core/app_error.h"
#include "core/clock.h"
#include "core/registry_win.h"
#include "core/settings.h"
#include "scan/scan_state.h"
#include "test_support.h"

namespace tolvar {
namespace {

using test::SameBitmap;

// The settings record's key with an access list that lets everyone read
// it, and change the list back, but write nothing: as a locked-down
// machine's policy (or another program's clean-up tool) can leave it. The
// key's own list comes back when this goes.
class ReadOnlySettingsKey {
public:
    ReadOnlySettingsKey() {
        RegistryKey("sysdata");  // there, whatever ran before
        const Key key = Open(READ_CONTROL | WRITE_DAC);
        if (!key) return;
        DWORD size = 0;
        RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, nullptr, &size);
        saved_.resize(size);
        if (RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, saved_.data(), &size) !=
            ERROR_SUCCESS) {
            saved_.clear();
            return;
        }
        // KEY_READ and WRITE_DAC for Everyone, and nothing inherited.
        PSECURITY_DESCRIPTOR readOnly = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
                "D:P(A;;0x60019;;;WD)", SDDL_REVISION_1, &readOnly, nullptr)) {
            return;
        }
        applied_ =
            RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, readOnly) == ERROR_SUCCESS;
        LocalFree(readOnly);
    }
    ~ReadOnlySettingsKey() {
        if (saved_.empty()) return;
        const Key key = Open(WRITE_DAC);
        if (key) RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, saved_.data());
    }
    ReadOnlySettingsKey(const ReadOnlySettingsKey&) = delete;
    ReadOnlySettingsKey& operator=(const ReadOnlySettingsKey&) = delete;

    bool applied() const { return applied_; }

private:
    struct CloseKey {
        void operator()(HKEY key) const { RegCloseKey(key); }
    };
    using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, CloseKey>;

    static Key Open(REGSAM access) {
        HKEY key = nullptr;
        const std::string path = std::string(kRegistryKey) + "sysdata";
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access | KEY_WOW64_32KEY, &key) !=
            ERROR_SUCCESS) {
            return Key();
        }
        return Key(key);
    }

    std::vector<std::uint8_t> saved_;
    bool applied_ = false;
};

// Guards against a start that ended before the skin when the stale-update
// reset could not store the settings record: the window came up without
// a face on any button.
TEST(StartUp, ASettingsRecordThatCannotBeStoredIsToldAndTheSkinStillLoads) {
    const SettingsRecord saved = Settings();
    std::vector<std::string> messages;
    {
        ReadOnlySettingsKey readOnly;
        ASSERT_TRUE(readOnly.applied());
        // The key really refuses the program's write.
        EXPECT_THROW(SaveSettings(), AppError);

        // A new process's record, before the start reads the stored one.
        Settings() = SettingsRecord{};
        test::RecordedErrors errors;
        TForm10 splash{false};
        Program program{splash};
        TForm1& form = program.mainForm();
        messages = errors.messages;

        // The reset the record could not keep holds for this run.
        EXPECT_EQ(Settings().CheckSchedule(), UpdateSchedule::Daily);
        EXPECT_EQ(Settings().LastUpdateDate(), TodaySerial() - 100.0);
        // Every button has its faces, the Scan page button shows lit, and
        // the first page is up.
        Skin& skin = form.skin();
        int loaded = 0;
        for (int n = 1; n <= SlotTable::SlotCount; ++n)
            loaded += skin.Faces(n).Face0.empty() ? 0 : 1;
        EXPECT_EQ(loaded, SlotTable::SlotCount) << "skin slots with faces";
        EXPECT_TRUE(SameBitmap(form.Image3.picture(), skin.Faces(slot::kScanPage).Face2));
        EXPECT_TRUE(SameBitmap(form.Image4.picture(), skin.Faces(slot::kResultsPage).Face0));
        EXPECT_TRUE(form.Panel1.visible());
        EXPECT_TRUE(form.Panel2.visible());
    }
    Settings() = saved;
    ScanState = scan_state::kIdle;
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("sysdata"), std::string::npos) << messages[0];
}

}  // namespace
}  // namespace tolvar

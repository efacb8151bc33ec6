// The words the tray says of real-time protection.

#include <gtest/gtest.h>

#include <string>

#include "protection/realtime_events.h"
#include "ui/realtime_words.h"

namespace tolvar {
namespace {

// The tray's oldest tip field holds 63 characters: each state must fit
// with the program's title.
TEST(RealtimeTip, EachStateFitsTheOldestTipField) {
    for (bool wanted : {false, true}) {
        for (bool active : {false, true}) {
            const std::string tip = RealtimeTip("Tolvar Antivirus", wanted, active);
            EXPECT_LE(tip.size(), 63u) << tip;
        }
    }
    EXPECT_EQ(RealtimeTip("Tolvar Antivirus", true, true),
              "Tolvar Antivirus - real-time protection on");
    EXPECT_EQ(RealtimeTip("Tolvar Antivirus", false, false),
              "Tolvar Antivirus - real-time protection off");
}

// Guards against a file that stayed told as removed.
TEST(DetectionBalloon, AFileNotRemovedIsAWarningWithWhy) {
    const DetectionBalloon done = DetectionBalloonOf(
        {"2026-12-09 14:50:13", "C:\\Users\\me\\Downloads\\eicar.com", "Eicar-Test-Signature",
         kActionQuarantined});
    EXPECT_EQ(done.title, "Threat quarantined");
    EXPECT_FALSE(done.warning);
    EXPECT_NE(done.text.find("Eicar-Test-Signature in eicar.com"), std::string::npos);

    const DetectionBalloon kept = DetectionBalloonOf(
        {"2026-12-09 14:50:13", "D:/x/setup.exe", "Win.Test",
         std::string(kActionNotRemoved) + ": the vault is full"});
    EXPECT_EQ(kept.title, "Threat found, not removed");
    EXPECT_TRUE(kept.warning);
    EXPECT_EQ(kept.text, "Win.Test in setup.exe: the vault is full.");

    // No reason given: still not told as removed.
    const DetectionBalloon bare =
        DetectionBalloonOf({"", "C:\\a.exe", "Win.Test", kActionNotRemoved});
    EXPECT_TRUE(bare.warning);
    EXPECT_EQ(bare.text, "Win.Test in a.exe could not be removed.");
}

}  // namespace
}  // namespace tolvar

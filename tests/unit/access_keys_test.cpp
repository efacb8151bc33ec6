// Access keys marked in captions: which letter Alt presses and how the
// caption reads to a screen reader, with an escaped '&' kept apart from a
// marker.

#include <gtest/gtest.h>

#include "framework/access_keys.h"

namespace tolvar {
namespace {

TEST(AccessKeys, TheMarkedLetterIsTheKeyInUpperCase) {
    EXPECT_EQ(AccessKeyOf("&Save Settings"), 'S');
    EXPECT_EQ(AccessKeyOf("Save &settings"), 'S');
    EXPECT_EQ(AccessKeyOf("Interval &2"), '2');
    // Nothing marked, or a marker with nothing after it.
    EXPECT_EQ(AccessKeyOf("Save Settings"), 0);
    EXPECT_EQ(AccessKeyOf("Save&"), 0);
    EXPECT_EQ(AccessKeyOf(""), 0);
}

TEST(AccessKeys, AnEscapedAmpersandIsNoMarker) {
    // "&&" draws one '&': taking it for a marker would make Alt+& a key and
    // lose the real one after it.
    EXPECT_EQ(AccessKeyOf("Search && &Destroy"), 'D');
    EXPECT_EQ(AccessKeyOf("Search && Destroy"), 0);
    EXPECT_EQ(AccessKeyOf("&&&Remove"), 'R');
    // A marker before a character no key types marks nothing.
    EXPECT_EQ(AccessKeyOf("&-Remove"), 0);
}

TEST(AccessKeys, ACaptionReadsWithoutItsMarkers) {
    EXPECT_EQ(WithoutAccessMarkers("&Save Settings"), "Save Settings");
    EXPECT_EQ(WithoutAccessMarkers("Search && &Destroy"), "Search & Destroy");
    EXPECT_EQ(WithoutAccessMarkers("Plain"), "Plain");
    // A lone marker at the end stays: it stands for nothing else.
    EXPECT_EQ(WithoutAccessMarkers("Save&"), "Save&");
    EXPECT_EQ(WithoutAccessMarkers(""), "");
}

}  // namespace
}  // namespace tolvar

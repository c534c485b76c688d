#include "store/AttributeCatalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <set>

namespace vandrel {
namespace {

TEST(AttributeCatalog, HoldsFiftyAttributesInIdOrderEachWithItsOwnTextSlot) {
    const auto& catalog = Catalog();
    ASSERT_EQ(catalog.size(), 50u) << "attributes";
    std::set<int> slots;
    for (size_t i = 0; i < catalog.size(); ++i) {
        const AttributeInfo& a = catalog[i];
        SCOPED_TRACE(a.name);
        if (i > 0) {
            EXPECT_LT(catalog[i - 1].id, a.id);
        }
        // The list and the export index the texts by the slot.
        EXPECT_EQ(a.text_slot % kSlotStep, 0);
        EXPECT_LT(a.text_slot, kSlotStep * kSlotCount);
        EXPECT_TRUE(slots.insert(a.text_slot).second) << "shares a text slot";
    }
    EXPECT_EQ(FindAttribute(113), nullptr);
    EXPECT_TRUE(AnyScanDependent(DefaultColumnIds()));
    EXPECT_FALSE(AnyScanDependent({0, 3, 5, 200, 101}));
}

struct Item {
    ScanRecord record = ZeroRecord();
    AttributeTexts texts;
};

Item MakeItem(const char* name, float length) {
    Item item;
    item.texts[kSlotName] = name;
    item.record.length_seconds = length;
    return item;
}

// The names of the items in the order the attribute sorts them.
std::string SortedNames(std::vector<Item> items, int32_t id, bool descending) {
    const AttributeInfo& attribute = *FindAttribute(id);
    std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
        return CompareForSort(attribute, SortKeyOf(attribute, a.record, a.texts),
                              SortKeyOf(attribute, b.record, b.texts), descending) < 0;
    });
    std::string names;
    for (const Item& item : items) {
        names += item.texts[kSlotName] + " ";
    }
    return names;
}

TEST(AttributeCatalog, SortsNamesWithoutRegardToCaseAndLengthsAsFloatsBothWays) {
    std::vector<Item> items = {MakeItem("beta", 10.5f), MakeItem("Alpha", 3.25f),
                               MakeItem("Gamma", 100.0f)};
    EXPECT_EQ(SortedNames(items, 0, false), "Alpha beta Gamma ");
    EXPECT_EQ(SortedNames(items, 0, true), "Gamma beta Alpha ");
    // A damaged record's NaN length sorts as the smallest.
    items.push_back(MakeItem("damaged", std::numeric_limits<float>::quiet_NaN()));
    EXPECT_EQ(SortedNames(items, 4, false), "damaged Alpha beta Gamma ");
    EXPECT_EQ(SortedNames(items, 4, true), "Gamma beta Alpha damaged ");

    // Equal numbers never go first, either way; equal names are equal, and a
    // name goes before its continuations.
    const Item a = MakeItem("a", 1);
    const Item b = MakeItem("b", 1);
    const AttributeInfo& length = *FindAttribute(4);
    const SortKey key_a = SortKeyOf(length, a.record, a.texts);
    const SortKey key_b = SortKeyOf(length, b.record, b.texts);
    EXPECT_EQ(CompareForSort(length, key_a, key_b, false), 1);
    EXPECT_EQ(CompareForSort(length, key_a, key_b, true), 1);
    EXPECT_EQ(CompareTextsIgnoringCase("ABC", "abc"), 0);
    EXPECT_LT(CompareTextsIgnoringCase("ab", "abc"), 0);
}

TEST(AttributeCatalog, ChecksSortByTheNumberInTheirText) {
    // Bandwidth: kHz with a decimal; an empty cell (not Layer III) goes first.
    std::vector<Item> items = {MakeItem("wide", 0), MakeItem("narrow", 0), MakeItem("none", 0)};
    items[0].texts[kSlotBandwidth] = "19.6";
    items[1].texts[kSlotBandwidth] = "9.8";
    EXPECT_EQ(SortedNames(items, 302, false), "none narrow wide ") << "Bandwidth ascending";
    EXPECT_EQ(SortedNames(items, 302, true), "wide narrow none ") << "Bandwidth descending";
    // CRC Errors: numbers, not texts ("12" after "9").
    items[0].texts[kSlotCrcErrors] = "12";
    items[1].texts[kSlotCrcErrors] = "9";
    EXPECT_EQ(SortedNames(items, 301, false), "none narrow wide ") << "CRC Errors ascending";
}

}  // namespace
}  // namespace vandrel

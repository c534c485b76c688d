#include "store/AttributeCatalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace vandrel {
namespace {

TEST(AttributeCatalog, HoldsFortyOneAttributesGroupedByIdRange) {
    const auto& catalog = Catalog();
    ASSERT_EQ(catalog.size(), 41u);
    std::set<int> slots;
    int scan_dependent = 0;
    for (size_t i = 0; i < catalog.size(); ++i) {
        const AttributeInfo& a = catalog[i];
        if (i > 0) {
            EXPECT_LT(catalog[i - 1].id, a.id);
        }
        const std::string_view group = a.id < 20    ? "General"
                                       : a.id < 100 ? "Mpeg Plus"
                                       : a.id < 200 ? "Lame Tag"
                                                    : "ID3v1";
        EXPECT_EQ(a.group, group) << a.name;
        EXPECT_EQ(a.text_slot % kSlotStep, 0) << a.name;
        EXPECT_LT(a.text_slot, kSlotStep * kSlotCount) << a.name;
        EXPECT_TRUE(slots.insert(a.text_slot).second) << a.name << " shares a text slot";
        scan_dependent += a.scan_dependent ? 1 : 0;
        EXPECT_EQ(FindAttribute(a.id), &a);
    }
    EXPECT_EQ(scan_dependent, 9);
    EXPECT_EQ(FindAttribute(10), nullptr);
    EXPECT_EQ(FindAttribute(113), nullptr);
    EXPECT_EQ(FindAttributeByName("bad last FRAME")->id, 6);
    EXPECT_EQ(FindAttributeByName("Colour"), nullptr);
    EXPECT_EQ(DefaultColumnIds(), (std::vector<int32_t>{0, 1, 2, 9, 4, 5, 6, 7}));
    EXPECT_TRUE(AnyScanDependent(DefaultColumnIds()));
    EXPECT_FALSE(AnyScanDependent({0, 3, 5, 200, 101}));
}

struct Item {
    ScanRecord record = ZeroRecord();
    AttributeTexts texts;
};

Item MakeItem(const char* name, int quality, float length, int bitrate) {
    Item item;
    item.texts[kSlotName] = name;
    item.record.quality_class = quality;
    item.record.length_seconds = length;
    item.record.average_bitrate = bitrate;
    return item;
}

// The names of the items in the order the attribute sorts them.
std::string SortedNames(std::vector<Item> items, int32_t id, bool descending) {
    const AttributeInfo& attribute = *FindAttribute(id);
    std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
        return CompareForSort(attribute, a.record, a.texts, b.record, b.texts, descending) < 0;
    });
    std::string names;
    for (const Item& item : items) {
        names += item.texts[kSlotName] + " ";
    }
    return names;
}

TEST(AttributeCatalog, SortsByNumbersAndByTextsBothWays) {
    const std::vector<Item> items = {
        MakeItem("beta", 2, 10.5f, 128),
        MakeItem("Alpha", 0, 3.25f, 320),
        MakeItem("gamma", 1, 100.0f, 64),
    };
    EXPECT_EQ(SortedNames(items, 7, false), "Alpha gamma beta ");  // quality: bad, ok, good
    EXPECT_EQ(SortedNames(items, 7, true), "beta gamma Alpha ");
    EXPECT_EQ(SortedNames(items, 4, false), "Alpha beta gamma ");  // the length is a float
    EXPECT_EQ(SortedNames(items, 2, true), "Alpha beta gamma ");   // bitrate
    EXPECT_EQ(SortedNames(items, 0, false), "Alpha beta gamma ");  // names without regard to case
    EXPECT_EQ(SortedNames(items, 0, true), "gamma beta Alpha ");

    // Equal numbers never go first, either way; equal names are equal.
    const Item a = MakeItem("a", 1, 1, 1);
    const Item b = MakeItem("b", 1, 1, 1);
    const AttributeInfo& quality = *FindAttribute(7);
    EXPECT_EQ(CompareForSort(quality, a.record, a.texts, b.record, b.texts, false), 1);
    EXPECT_EQ(CompareForSort(quality, a.record, a.texts, b.record, b.texts, true), 1);
    EXPECT_EQ(CompareForSort(*FindAttribute(0), a.record, a.texts, a.record, a.texts, false), 0);
    EXPECT_LT(CompareTextsIgnoringCase("ABC", "abd"), 0);
    EXPECT_EQ(CompareTextsIgnoringCase("ABC", "abc"), 0);
    EXPECT_LT(CompareTextsIgnoringCase("ab", "abc"), 0);
}

TEST(AttributeCatalog, SortsByEveryAttributeWithoutBreakingTheOrder) {
    // Records with damaged numbers (a NaN length among them) must still give
    // a consistent order, whatever the attribute.
    std::vector<Item> items;
    for (int i = 0; i < 40; ++i) {
        Item item = MakeItem(i % 3 == 0 ? "X" : "y", i % 3, static_cast<float>(i % 7), i * 37 % 11);
        item.record.frames = (i * 7919) % 13 - 6;
        if (i == 5) {
            item.record.length_seconds = std::numeric_limits<float>::quiet_NaN();
        }
        for (int slot = 0; slot < kSlotStep * kSlotCount; slot += kSlotStep) {
            item.texts[slot] += static_cast<char>('a' + (i * slot) % 5);
        }
        items.push_back(item);
    }
    for (const AttributeInfo& attribute : Catalog()) {
        for (bool descending : {false, true}) {
            std::vector<Item> sorted = items;
            std::sort(sorted.begin(), sorted.end(), [&](const Item& a, const Item& b) {
                return CompareForSort(attribute, a.record, a.texts, b.record, b.texts, descending) <
                       0;
            });
            for (size_t i = 1; i < sorted.size(); ++i) {
                EXPECT_FALSE(CompareForSort(attribute, sorted[i].record, sorted[i].texts,
                                            sorted[i - 1].record, sorted[i - 1].texts,
                                            descending) < 0)
                    << attribute.name << (descending ? " descending" : " ascending");
            }
        }
    }
}

}  // namespace
}  // namespace vandrel

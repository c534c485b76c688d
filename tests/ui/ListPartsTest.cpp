#include <cstring>
#include <string>

#include <QTest>

#include "UiTest.h"
#include "ui/browser/ListRow.h"

namespace vandrel {

class ListPartsTest : public QObject {
    Q_OBJECT

private slots:
    void APackedRowGivesBackWhatItTook() {
        ScanRecord record{};
        record.frames = 1200;
        record.length_seconds = 31.25f;
        std::strcpy(record.path, "/music/a.mp3");
        record.large_size_high[0] = 7;  // the image's last byte but three
        const PackedRecord packed(record);
        const ScanRecord back = packed.Unpack();
        QCOMPARE(back.frames, 1200);
        QCOMPARE(back.length_seconds, 31.25f);
        QCOMPARE(std::string(back.path), std::string("/music/a.mp3"));
        QCOMPARE(back.large_size_high[0], uint8_t{7});
        // A field read in place; one in a piece of zeros is 0.
        QCOMPARE(packed.Field32(offsetof(ScanRecord, frames)), uint32_t{1200});
        QCOMPARE(packed.Field32(offsetof(ScanRecord, sync_errors)), uint32_t{0});

        AttributeTexts texts;
        texts[kSlotName] = "a.mp3";
        texts[kSlotEncoder] = "Lame 3.100";
        PackedTexts packed_texts(texts);
        packed_texts.Set(kSlotName, "renamed.mp3");
        QCOMPARE(std::string(packed_texts[kSlotName]), std::string("renamed.mp3"));
        QCOMPARE(std::string(packed_texts[kSlotEncoder]), std::string("Lame 3.100"));
        QVERIFY2(packed_texts[kSlotQuality].empty(), "a slot never set stays empty");
        // Texts beyond what the buffer's 16-bit ends can say are cut.
        texts[kSlotEncoder] = std::string(70'000, 'x');
        QCOMPARE(PackedTexts(texts)[kSlotEncoder].size(), size_t{65'535 - 5});
    }
};

VANDREL_UI_TEST(ListPartsTest);

}  // namespace vandrel

#include "ListPartsTest.moc"

// The folder tree tests.
#include <QTest>

#include "IdList.h"
#include "UiTest.h"

namespace vandrel {

class TreeTest : public QObject {
    Q_OBJECT

private slots:
    void idListBytesAndText() {
        // Two steps: sizes count their own two bytes; two zero bytes end it.
        const IdList list = *MakeIdList({"mu", "~"});
        QCOMPARE(list, (IdList{4, 0, 'm', 'u', 3, 0, '~', 0, 0}));
        QCOMPARE(EncodeIdList(list), std::string("04006D7503007E0000"));
        QCOMPARE(DecodeIdList("04006D7503007E0000"), std::optional(list));
        QCOMPARE(DecodeIdList("04006d7503007e0000"), std::optional(list));
        QCOMPARE(SplitIdList(list), std::optional(std::vector<std::string>{"mu", "~"}));
        // "/" is the bare terminator.
        QCOMPARE(*MakeIdList({}), (IdList{0, 0}));
        QCOMPARE(MakeIdList({""}), std::nullopt);
        // An odd last character is ignored; empty text is no bytes; a pair
        // that is not hexadecimal fails.
        QCOMPARE(DecodeIdList("0400F"), std::optional(IdList{4, 0}));
        QCOMPARE(DecodeIdList(""), std::optional(IdList{}));
        QCOMPARE(DecodeIdList("040G"), std::nullopt);
        // Not id lists: an item shorter than its size field, an item past the
        // end, no terminator.
        QCOMPARE(SplitIdList(IdList{1, 0, 0, 0}), std::nullopt);
        QCOMPARE(SplitIdList(IdList{9, 0, 'a', 0, 0}), std::nullopt);
        QCOMPARE(SplitIdList(IdList{3, 0, 'a'}), std::nullopt);
        QCOMPARE(SplitIdList(IdList{}), std::nullopt);
        // Appending: size(absolute) - 2 + size(relative).
        const std::optional<IdList> joined = AppendIdList(*MakeIdList({"a"}), *MakeIdList({"bc"}));
        QCOMPARE(joined, std::optional(*MakeIdList({"a", "bc"})));
        QCOMPARE(joined->size(), size_t{5 - 2 + 6});
    }
};

VANDREL_UI_TEST(TreeTest);

}  // namespace vandrel

#include "TreeTest.moc"

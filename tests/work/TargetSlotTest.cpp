#include "work/TargetSlot.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace vandrel {
namespace {

class Collector : public MessageTarget {
public:
    void Post(Message message) override { words.push_back(message.wparam); }
    std::vector<uint64_t> words;
};

TEST(TargetSlot, PostsToTheTargetSetAtTheTimeOrNowhere) {
    TargetSlot slot;
    slot.Post(Message(kMsgStatusText, 1));  // none set: dropped
    auto first = std::make_shared<Collector>();
    auto second = std::make_shared<Collector>();
    slot.Set(first);
    slot.Post(Message(kMsgStatusText, 2));
    slot.Set(second);
    slot.Post(Message(kMsgStatusText, 3));
    slot.Set(nullptr);
    slot.Post(Message(kMsgStatusText, 4));
    EXPECT_EQ(first->words, std::vector<uint64_t>{2}) << "what the first target got";
    EXPECT_EQ(second->words, std::vector<uint64_t>{3}) << "what the second target got";
}

}  // namespace
}  // namespace vandrel

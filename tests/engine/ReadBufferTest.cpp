#include "engine/io/ReadBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/TestFiles.h"

namespace vandrel {
namespace {

std::vector<uint8_t> Counting(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    }
    return bytes;
}

TEST(ReadBuffer, ReadsFurtherAheadWhileReadsFollowOnAndKeepsWhatItHolds) {
    test::TempDir dir;
    const std::vector<uint8_t> content = Counting(3'000'000);
    test::WriteFile(dir.File("f"), content);
    FileHandle file;
    ASSERT_TRUE(file.Open(dir.File("f"), false));
    ReadBuffer buffer;
    auto holds_the_file = [&] {
        return std::equal(buffer.Data(), buffer.Data() + buffer.Length(),
                          content.begin() + buffer.Start());
    };

    // A first read reads the least ahead.
    buffer.Fill(file, 0, 1);
    EXPECT_EQ(buffer.Length(), ReadBuffer::kMinReadAhead) << "first read's length";
    // Each read that goes on where the last ended reads twice as much, up to the most.
    for (const size_t expected : {size_t{32}, size_t{64}, size_t{128}, size_t{256}, size_t{256}}) {
        const int64_t end = buffer.Start() + static_cast<int64_t>(buffer.Length());
        buffer.Fill(file, end, 1);
        EXPECT_EQ(buffer.Start(), end) << "start of the read after " << expected << " KiB";
        EXPECT_EQ(buffer.Length(), expected * 1024) << "read of " << expected << " KiB";
        EXPECT_TRUE(holds_the_file()) << "bytes of the read of " << expected << " KiB";
    }
    // A jump elsewhere starts again with the least.
    buffer.Fill(file, 2'000'000, 1);
    EXPECT_EQ(buffer.Start(), 2'000'000) << "start after the jump";
    EXPECT_EQ(buffer.Length(), ReadBuffer::kMinReadAhead) << "length after the jump";
    // A read that needs more than the ten bytes left keeps them, moved to the front.
    const int64_t ten_before_end = 2'000'000 + static_cast<int64_t>(ReadBuffer::kMinReadAhead) - 10;
    buffer.Fill(file, ten_before_end, 100);
    EXPECT_EQ(buffer.Start(), ten_before_end) << "start of the kept bytes";
    EXPECT_EQ(buffer.Length(), 10 + 2 * ReadBuffer::kMinReadAhead) << "kept bytes and the read";
    EXPECT_TRUE(holds_the_file()) << "bytes after the move";
    EXPECT_EQ(buffer.HeldAt(ten_before_end + 5), buffer.Length() - 5) << "bytes held from inside";
    EXPECT_EQ(buffer.HeldAt(ten_before_end - 1), 0u) << "bytes held from before the start";
}

}  // namespace
}  // namespace vandrel

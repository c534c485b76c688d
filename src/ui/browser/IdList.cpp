#include "ui/browser/IdList.h"

namespace vandrel {

namespace {

constexpr size_t kSizeField = 2;
constexpr size_t kTerminator = 2;

size_t LoadLe16(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<size_t>(bytes[at]) | static_cast<size_t>(bytes[at + 1]) << 8;
}

// -1 for a character that is not a hexadecimal digit.
int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace

std::optional<IdList> MakeIdList(const std::vector<std::string>& steps) {
    IdList list;
    for (const std::string& name : steps) {
        if (name.empty() || name.size() > kMaxStepName) {
            return std::nullopt;
        }
        const size_t size = kSizeField + name.size();
        list.push_back(static_cast<uint8_t>(size & 0xFF));
        list.push_back(static_cast<uint8_t>(size >> 8));
        list.insert(list.end(), name.begin(), name.end());
    }
    list.insert(list.end(), kTerminator, 0);
    return list;
}

namespace {

// Calls on_step with each step's name and gives the list's size with its
// terminator; nothing when a size field is cut off or points past the end.
template <typename OnStep>
std::optional<size_t> WalkIdList(std::span<const uint8_t> list, OnStep on_step) {
    size_t at = 0;
    while (true) {
        if (list.size() - at < kSizeField) {
            return std::nullopt;
        }
        const size_t size = LoadLe16(list, at);
        if (size == 0) {
            return at + kTerminator;
        }
        if (size < kSizeField || size > list.size() - at) {
            return std::nullopt;
        }
        on_step(list.subspan(at + kSizeField, size - kSizeField));
        at += size;
    }
}

}  // namespace

std::optional<std::vector<std::string>> SplitIdList(std::span<const uint8_t> list) {
    std::vector<std::string> steps;
    const auto walked = WalkIdList(
        list, [&](std::span<const uint8_t> name) { steps.emplace_back(name.begin(), name.end()); });
    if (!walked) {
        return std::nullopt;
    }
    return steps;
}

std::optional<size_t> IdListSize(std::span<const uint8_t> list) {
    return WalkIdList(list, [](std::span<const uint8_t>) {});
}

std::optional<IdList> AppendIdList(std::span<const uint8_t> absolute,
                                   std::span<const uint8_t> relative) {
    const std::optional<size_t> absolute_size = IdListSize(absolute);
    const std::optional<size_t> relative_size = IdListSize(relative);
    if (!absolute_size || !relative_size) {
        return std::nullopt;
    }
    IdList joined(absolute.begin(),
                  absolute.begin() + static_cast<std::ptrdiff_t>(*absolute_size - kTerminator));
    joined.insert(joined.end(), relative.begin(),
                  relative.begin() + static_cast<std::ptrdiff_t>(*relative_size));
    return joined;
}

std::string EncodeIdList(std::span<const uint8_t> list) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(list.size() * 2);
    for (const uint8_t byte : list) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

std::optional<IdList> DecodeIdList(std::string_view text) {
    IdList list;
    list.reserve(text.size() / 2);
    for (size_t at = 0; at + 1 < text.size(); at += 2) {
        const int high = HexValue(text[at]);
        const int low = HexValue(text[at + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        list.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    return list;
}

}  // namespace vandrel

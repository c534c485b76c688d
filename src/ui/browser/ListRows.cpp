#include "ui/browser/ListRows.h"

#include <algorithm>

namespace vandrel {

int ListRows::RowOf(uint64_t key) const {
    const auto it = row_of_.find(key);
    return it == row_of_.end() ? -1 : it->second;
}

void ListRows::Clear() {
    rows_.clear();
    row_of_.clear();
    done_count_ = 0;
    next_listing_ = 0;
    order_broken_ = false;
}

std::vector<uint64_t>
ListRows::Append(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<uint64_t> keys;
    const size_t first = rows_.size();
    rows_.reserve(rows_.size() + files.size());
    for (const auto& [path, name] : files) {
        auto row = std::make_unique<_LVItemData>();
        row->key = next_key_++;
        row->listing = next_listing_++;
        row->path = path;
        AttributeTexts texts;
        texts[kSlotName] = name;
        row->texts = PackedTexts(texts);
        keys.push_back(row->key);
        rows_.push_back(std::move(row));
    }
    IndexFrom(first);
    for (size_t i = first; i < rows_.size() && !order_broken_; ++i) {
        order_broken_ = !InOrderAt(i);
    }
    return keys;
}

int ListRows::Take(ListResult& result) {
    const int row = RowOf(result.key);
    if (row < 0) {
        return -1;
    }
    _LVItemData& entry = *rows_[static_cast<size_t>(row)];
    // The row's name is the file's name now, whatever the job was given.
    result.texts[kSlotName] = std::string(entry.name());
    entry.record = PackedRecord(result.record);
    entry.quality_class = result.record.quality_class;
    entry.whole_file_scanned = result.record.whole_file_scanned != 0;
    entry.texts = PackedTexts(result.texts);
    entry.feature_mask = result.feature_mask;
    entry.refused = !result.refusal.empty();
    entry.severity = result.severity;
    if (!entry.done) {
        entry.done = true;
        ++done_count_;
    }
    order_broken_ = order_broken_ || !InOrderAt(static_cast<size_t>(row));
    return row;
}

void ListRows::MarkPending(int row) {
    _LVItemData& entry = *rows_[static_cast<size_t>(row)];
    if (entry.done) {
        entry.done = false;
        --done_count_;
    }
}

void ListRows::Remove(int row) {
    const _LVItemData& entry = Row(row);
    done_count_ -= entry.done ? 1 : 0;
    row_of_.erase(entry.key);
    rows_.erase(rows_.begin() + row);
    IndexFrom(static_cast<size_t>(row));
}

void ListRows::Rename(int row, std::string path, std::string_view name) {
    _LVItemData& entry = *rows_[static_cast<size_t>(row)];
    entry.path = std::move(path);
    entry.texts.Set(kSlotName, name);
    order_broken_ = order_broken_ || !InOrderAt(static_cast<size_t>(row));
}

void ListRows::IndexFrom(size_t first) {
    for (size_t row = first; row < rows_.size(); ++row) {
        row_of_[rows_[row]->key] = static_cast<int>(row);
    }
}

// --- order ----------------------------------------------------------------------

bool ListRows::Precedes(const _LVItemData& a, const _LVItemData& b) const {
    if (sort_attribute_ != nullptr) {
        const bool descending = sort_direction_ == SortDirection::kDescending;
        const SortKey key_a = SortKeyOf(a);
        const SortKey key_b = SortKeyOf(b);
        if (CompareForSort(*sort_attribute_, key_a, key_b, descending) < 0) {
            return true;
        }
        if (CompareForSort(*sort_attribute_, key_b, key_a, descending) < 0) {
            return false;
        }
    }
    return a.listing < b.listing;
}

SortKey ListRows::SortKeyOf(const _LVItemData& row) const {
    const AttributeInfo& attribute = *sort_attribute_;
    if (attribute.sort_field == kSortByText) {
        return {0, row.texts[attribute.text_slot]};
    }
    if (attribute.sort_field == kSortByNumberInText) {
        return {NumberInText(row.texts[attribute.text_slot]), {}};
    }
    return {SortNumber(attribute, row.record.Field32(static_cast<size_t>(attribute.sort_field))),
            {}};
}

bool ListRows::InOrderAt(size_t row) const {
    return (row == 0 || !Precedes(*rows_[row], *rows_[row - 1])) &&
           (row + 1 >= rows_.size() || !Precedes(*rows_[row + 1], *rows_[row]));
}

void ListRows::SetOrder(int32_t attribute_id, SortDirection direction) {
    sort_attribute_ = FindAttribute(attribute_id);
    sort_direction_ = direction;
    order_broken_ = true;
}

void ListRows::Sort() {
    order_broken_ = false;
    std::sort(rows_.begin(), rows_.end(),
              [this](const auto& a, const auto& b) { return Precedes(*a, *b); });
    IndexFrom(0);
}

ListJob JobOf(const _LVItemData& row) {
    return {row.key, row.path, std::string(row.name())};
}

}  // namespace vandrel

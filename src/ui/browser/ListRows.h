#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "store/AttributeCatalog.h"
#include "ui/browser/ListRow.h"
#include "work/Messages.h"

namespace vandrel {

enum class SortDirection { kAscending, kDescending };

// The file list's rows, each found by its key, in the order of a sort
// attribute; rows that sort equal keep the order of the folder's listing. A
// change that takes a row out of its place only marks the order broken, and
// Sort puts every row back. No Qt: the list's model tells its views of each
// change.
class ListRows {
public:
    size_t size() const { return rows_.size(); }
    const _LVItemData& Row(int row) const { return *rows_[static_cast<size_t>(row)]; }
    // The row of a key; -1 when it is gone.
    int RowOf(uint64_t key) const;
    // The rows whose latest job has its result.
    int done_count() const { return done_count_; }
    bool order_broken() const { return order_broken_; }

    // Keys go on counting, so that a result for a row of before finds none.
    void Clear();
    // Rows for the files (path, shown name) at the end; their keys, in the
    // order given.
    std::vector<uint64_t> Append(const std::vector<std::pair<std::string, std::string>>& files);
    // Takes a result into its row; -1 when the row is gone.
    int Take(ListResult& result);
    // The row waits for a new result.
    void MarkPending(int row);
    void Remove(int row);
    // The file of the row was renamed.
    void Rename(int row, std::string path, std::string_view name);
    // Sorts by the attribute from now on; by the listing alone when it is none.
    void SetOrder(int32_t attribute_id, SortDirection direction);
    // Puts every row in its sorted place.
    void Sort();

private:
    bool Precedes(const _LVItemData& a, const _LVItemData& b) const;
    SortKey SortKeyOf(const _LVItemData& row) const;
    bool InOrderAt(size_t row) const;
    void IndexFrom(size_t first);

    std::vector<std::unique_ptr<_LVItemData>> rows_;
    std::unordered_map<uint64_t, int> row_of_;  // the row of each key
    const AttributeInfo* sort_attribute_ = nullptr;
    SortDirection sort_direction_ = SortDirection::kAscending;
    bool order_broken_ = false;
    int done_count_ = 0;
    uint64_t next_key_ = 1;
    uint32_t next_listing_ = 0;
};

// What the worker needs to scan a row's file again.
ListJob JobOf(const _LVItemData& row);

}  // namespace vandrel

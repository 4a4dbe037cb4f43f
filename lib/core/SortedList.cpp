#include "SortedList.h"

#include <algorithm>
#include <cstdio>

namespace tavro {

namespace {
constexpr int MaxListSize = 134217727;
}

void TSortedList::Error(const char* message, int value) const {
    char text[128];
    std::snprintf(text, sizeof text, message, value);
    throw EListError(text);
}

void TSortedList::Grow() {
    int capacity = Capacity();
    int delta = capacity > 64 ? capacity / 4 : (capacity > 8 ? 16 : 4);
    SetCapacity(capacity + delta);
}

bool TSortedList::Find(int32_t value, int& index) const {
    bool found = false;
    int lo = 0;
    int hi = Count_ - 1;
    while (lo <= hi) {
        int mid = lo + (hi - lo) / 2;
        int c = Compare(Items_[static_cast<size_t>(mid)], value);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (!Duplicates)
                    lo = mid;
            }
        }
    }
    index = lo;
    return found;
}

int TSortedList::Add(int32_t value) {
    int index;
    if (!Find(value, index) || Duplicates)
        Insert(index, value);
    return index;
}

int TSortedList::IndexOf(int32_t value) const {
    int index;
    if (!Find(value, index))
        return -1;
    if (Duplicates) {
        while (index < Count_ && Compare(Items_[static_cast<size_t>(index)], value) != 0)
            ++index;
        if (index >= Count_)
            return -1;
    }
    return index;
}

int TSortedList::Remove(int32_t value) {
    int index = IndexOf(value);
    if (index >= 0)
        Delete(index);
    return index;
}

void TSortedList::Delete(int index) {
    if (index < 0 || index >= Count_)
        Error("List index out of bounds (%d)", index);
    std::copy(Items_.begin() + index + 1, Items_.begin() + Count_, Items_.begin() + index);
    --Count_;
}

void TSortedList::Insert(int index, int32_t value) {
    if (index < 0 || index > Count_)
        Error("List index out of bounds (%d)", index);
    if (Count_ == Capacity())
        Grow();
    std::copy_backward(Items_.begin() + index, Items_.begin() + Count_, Items_.begin() + Count_ + 1);
    Items_[static_cast<size_t>(index)] = value;
    ++Count_;
}

int32_t TSortedList::Get(int index) const {
    if (index < 0 || index >= Count_)
        Error("List index out of bounds (%d)", index);
    return Items_[static_cast<size_t>(index)];
}

void TSortedList::Put(int index, int32_t value) {
    if (index < 0 || index >= Count_)
        Error("List index out of bounds (%d)", index);
    Items_[static_cast<size_t>(index)] = value;
}

void TSortedList::Sort() {
    std::sort(Items_.begin(), Items_.begin() + Count_,
              [this](int32_t a, int32_t b) { return Compare(a, b) < 0; });
}

void TSortedList::Assign(const TSortedList& source) {
    if (&source == this)
        return;
    Items_.assign(source.Items_.begin(), source.Items_.begin() + source.Count_);
    Count_ = source.Count_;
}

void TSortedList::Assign(const std::vector<int32_t>& values) {
    if (values.size() > static_cast<size_t>(MaxListSize))
        Error("List count out of bounds (%d)", MaxListSize);
    Items_ = values;
    Count_ = static_cast<int>(values.size());
    Sort();
}

void TSortedList::SetCapacity(int capacity) {
    if (capacity < Count_ || capacity > MaxListSize)
        Error("List capacity out of bounds (%d)", capacity);
    Items_.resize(static_cast<size_t>(capacity));
}

void TSortedList::SetCount(int count) {
    if (count < 0 || count > MaxListSize)
        Error("List count out of bounds (%d)", count);
    if (count > Capacity())
        SetCapacity(count);
    if (count > Count_)
        std::fill(Items_.begin() + Count_, Items_.begin() + count, 0);
    Count_ = count;
}

void TSortedList::Clear() {
    Items_.clear();
    Items_.shrink_to_fit();
    Count_ = 0;
}

bool TSortedList::operator==(const TSortedList& other) const {
    return Count_ == other.Count_ &&
           std::equal(Items_.begin(), Items_.begin() + Count_, other.Items_.begin());
}

} // namespace tavro

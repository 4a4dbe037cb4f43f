#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace tavro {

class EListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A sorted list of 32-bit values (message ids of read marks and the like).
class TSortedList {
public:
    TSortedList() = default;
    virtual ~TSortedList() = default;
    TSortedList(const TSortedList&) = default;
    TSortedList& operator=(const TSortedList&) = default;

    bool Duplicates = false;

    int Count() const { return Count_; }
    int Capacity() const { return static_cast<int>(Items_.size()); }

    // Index of the value, inserted unless already there (and Duplicates off).
    int Add(int32_t value);
    // Binary search: true when found; index is where the value is or would go.
    bool Find(int32_t value, int& index) const;
    bool Contains(int32_t value) const {
        int index;
        return Find(value, index);
    }
    int IndexOf(int32_t value) const;
    int Remove(int32_t value);
    void Delete(int index);
    void Insert(int index, int32_t value);
    int32_t Get(int index) const;
    void Put(int index, int32_t value);
    void Sort();
    void Assign(const TSortedList& source);
    void Assign(const std::vector<int32_t>& values);
    void SetCapacity(int capacity);
    void SetCount(int count);
    void Clear();

    bool operator==(const TSortedList& other) const;

protected:
    virtual void Grow();
    virtual int Compare(int32_t a, int32_t b) const { return a < b ? -1 : (a > b ? 1 : 0); }
    [[noreturn]] virtual void Error(const char* message, int value) const;

private:
    std::vector<int32_t> Items_; // size() is the capacity
    int Count_ = 0;
};

} // namespace tavro

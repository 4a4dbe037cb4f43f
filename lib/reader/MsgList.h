#pragma once

#include "OwnNames.h"

#include "core/Base.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tavro {

// One message as the list shows it, read from its header the first time it is needed. The
// texts stay valid while the list is not filled again or cleared.
struct TMsgRow {
    std::string_view From;
    std::string_view To;
    std::string_view Subj;
    TDateTime Date = 0;
    uint8_t Flags = 0;
};

// Texts kept one after another in pieces that never move, so that many short texts cost
// neither an allocation each nor copying as they grow.
class TTextStore {
public:
    static constexpr size_t PieceSize = 256 * 1024;

    // Stores the three texts one after another (together at most PieceSize bytes) and
    // answers where they start.
    uint64_t Add(std::string_view a, std::string_view b, std::string_view c);
    std::string_view At(uint64_t offset, size_t size) const {
        return {Pieces[offset / PieceSize].get() + offset % PieceSize, size};
    }
    void Clear();

private:
    std::vector<std::unique_ptr<char[]>> Pieces;
    size_t Used = PieceSize; // in the last piece
};

// Row flag bits: the bit number is the column the flag makes bold.
constexpr uint8_t rfFromOwn = 2;
constexpr uint8_t rfToOwn = 4;

// The list's columns, in order.
enum TMsgColumn { mcNumber = 0, mcFrom, mcTo, mcSubj, mcDate, MsgColumnCount };

// The rows of an open area, flat in storage order or as reply threads, and their sorting.
// A row is the message's position in the base; nothing is read from a message until its
// row is asked for (drawn, sorted or walked), and a flat list in storage order keeps
// nothing per row. Threads and sorting walk every header once. Reading throws EFileError
// when the base cannot be read.
class TMsgList {
public:
    static constexpr int NoParent = -1;

    // Binds the list to a base the caller has rescanned. No header is read in flat mode
    // unless `readRows` asks for every row at once (in threads mode in the same walk).
    void Fill(TCustomBase* base, const TOwnNames& ownNames, bool threads, const TProgress& progress = {},
              bool readRows = false);
    void Clear();

    TCustomBase* Base() const { return Base_; }
    int Count() const { return Count_; }
    bool Threads() const { return Threads_; }
    // The column sorted by, -1 for storage order.
    int SortColumn() const { return SortColumn_; }

    TMsgRow Row(int index);

    // The shape: the rows under a parent (NoParent for the top level), in display order.
    int ChildCount(int parent) const;
    int Child(int parent, int place) const;
    int Parent(int index) const { return Parents.empty() ? NoParent : Parents[index]; }
    // The row's place among its parent's children.
    int Place(int index) const { return Places.empty() ? index : Places[index]; }
    int Depth(int index) const;
    // Every row in display order, a thread's replies after it.
    std::vector<int> DisplayOrder() const;
    // Each row once in display order with its depth, found on the way rather than by walking up.
    void VisitDisplayOrder(const std::function<void(int index, int depth)>& visit) const;

    // Reads every row not read yet, in one walk over the headers.
    void FillRows(const TProgress& progress = {});
    // Sorts every level by the column, ascending.
    void Sort(int column);

    // Whether the message or any reply below it is unread by the current user.
    bool ThreadUnread(int index);
    // Read marks changed: forget what ThreadUnread found.
    void ReadStateChanged() { UnreadBelow.clear(); }

private:
    static constexpr int RowBlock = 256;
    // A list cell shows no more of a text; a damaged header may hold far more.
    static constexpr size_t MaxRowText = 65535;
    // A row as kept: its texts one after another in Texts. A large area keeps 100,000 of
    // them, so they are small.
    struct TStoredRow {
        uint64_t Text = 0;
        uint16_t FromSize = 0;
        uint16_t ToSize = 0;
        uint16_t SubjSize = 0;
        uint8_t Flags = 0;
        bool Filled = false;
        TDateTime Date = 0;
    };

    TStoredRow& RowSlot(int index);
    TMsgRow RowOf(const TStoredRow& stored) const;
    void FillRow(int index, const TListHeader& header);
    void BuildShape(std::vector<int> parents);
    // The rows of a level: a range of Order.
    std::pair<int, int> Level(int parent) const;
    // What rows are sorted by, each empty when the column does not use it.
    struct TSortKeys {
        std::vector<uint32_t> Ranks; // of the texts in the collation
        std::vector<int64_t> Dates;  // milliseconds
    };
    // Sorts each level by text rank, then date, then position.
    void SortLevels(const TSortKeys& keys);
    TSortKeys ReadSortKeys(int column);

    TCustomBase* Base_ = nullptr;
    TOwnNames OwnNames;
    int Count_ = 0;
    // Rows made in blocks, when a row of the block is first read.
    std::vector<std::unique_ptr<TStoredRow[]>> RowBlocks;
    int FilledRows = 0;
    TTextStore Texts;
    std::vector<int> Parents; // empty in flat mode
    // The rows level by level: the top level first, then each row's replies. Empty while the
    // list is flat in storage order.
    std::vector<int> Order;
    // Where each row's replies start in Order (one more entry for the end); empty when flat.
    std::vector<int> ReplyStart;
    std::vector<int> Places;         // empty while the list is flat in storage order
    std::vector<int8_t> UnreadBelow; // -1 unknown, else 0/1; empty when nothing known
    bool Threads_ = false;
    int SortColumn_ = -1;
};

// The subject as sorting compares it: reply prefixes removed.
std::string_view SortedSubject(const TMsgRow& row);

} // namespace tavro

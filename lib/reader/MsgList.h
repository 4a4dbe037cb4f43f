#pragma once

#include "OwnNames.h"

#include "core/Base.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavro {

// One message as the list shows it, read from its header the first time it is needed.
struct TMsgRow {
    std::string From;
    std::string To;
    std::string Subj;
    TDateTime Date = 0;
    uint8_t Flags = 0;
    bool Filled = false;
};

// Row flag bits: the bit number is the column the flag makes bold.
constexpr uint8_t rfFromOwn = 2;
constexpr uint8_t rfToOwn = 4;

// The list's columns, in order.
enum TMsgColumn { mcNumber = 0, mcFrom, mcTo, mcSubj, mcDate, MsgColumnCount };

// The rows of an open area, flat in storage order or as reply threads, and their sorting.
// A row is the message's position in the base; nothing is read from a message until its
// row is asked for (drawn, sorted or walked), except that threads read every header.
// Reading throws EFileError when the base cannot be read.
class TMsgList {
public:
    static constexpr int NoParent = -1;

    // Binds the list to a base the caller has rescanned. No header is read in flat mode.
    void Fill(TCustomBase* base, const TOwnNames& ownNames, bool threads, const TProgress& progress = {});
    void Clear();

    TCustomBase* Base() const { return Base_; }
    int Count() const { return static_cast<int>(Rows.size()); }
    bool Threads() const { return Threads_; }
    // The column sorted by, -1 for storage order.
    int SortColumn() const { return SortColumn_; }

    const TMsgRow& Row(int index);

    // The shape: the rows under a parent (NoParent for the top level), in display order.
    const std::vector<int>& Children(int parent) const;
    int Parent(int index) const { return Parents.empty() ? NoParent : Parents[index]; }
    // The row's place among its parent's children.
    int Place(int index) const { return Places[index]; }
    int Depth(int index) const;
    // Every row in display order, a thread's replies after it.
    std::vector<int> DisplayOrder() const;
    // The same with each row's depth, found on the way rather than by walking up.
    std::vector<std::pair<int, int>> DisplayOrderWithDepth() const;

    // Sorts every level by the column, ascending; reads every header.
    void Sort(int column);

    // Whether the message or any reply below it is unread by the current user.
    bool ThreadUnread(int index);
    // Read marks changed: forget what ThreadUnread found.
    void ReadStateChanged() { UnreadBelow.clear(); }

private:
    void FillRow(int index, TCustomMsg& msg);
    void BuildShape(const std::vector<int>& parents);
    void UpdatePlaces(const std::vector<int>& level);

    TCustomBase* Base_ = nullptr;
    TOwnNames OwnNames;
    std::vector<TMsgRow> Rows;
    std::vector<int> Parents;              // empty in flat mode
    std::vector<int> TopLevel;             // rows without a parent
    std::vector<std::vector<int>> Replies; // children per row; empty in flat mode
    std::vector<int> Places;
    std::vector<int8_t> UnreadBelow; // -1 unknown, else 0/1; empty when nothing known
    bool Threads_ = false;
    int SortColumn_ = -1;
};

// The subject as sorting compares it: reply prefixes removed.
std::string_view SortedSubject(const TMsgRow& row);

} // namespace tavro

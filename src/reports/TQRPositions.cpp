#include "reports/TQRPositions.h"

#include <algorithm>
#include <cmath>

namespace {

// Positions at or beyond this are off any page and never ranked.
constexpr double kRankLimit = 9999999;

// Two positions share an entry when they round (halves to even) to the same
// integer. Compared as doubles so that no position can overflow an int.
bool SameInteger(double a, double b) {
    return std::nearbyint(a) == std::nearbyint(b);
}

} // namespace

void TQRPositions::AddPosition(double position) {
    const int index = IndexOf(position);
    if (index >= 0) {
        ++entries_[index].count;
        return;
    }
    TQRPositionEntry entry;
    entry.position = position;
    entry.count = 1;
    entries_.append(entry);
}

void TQRPositions::AssignRanks() {
    updating_ = true;
    int next = HighestRank() + 1;
    for (;;) {
        int smallest = -1;
        for (int i = 0; i < entries_.size(); ++i) {
            const TQRPositionEntry &entry = entries_.at(i);
            if (entry.ranked || !(entry.position > 0 && entry.position < kRankLimit))
                continue;
            // Strictly smaller, so the earliest entry wins a tie.
            if (smallest < 0 || entry.position < entries_.at(smallest).position)
                smallest = i;
        }
        if (smallest < 0)
            break;
        entries_[smallest].rank = next++;
        entries_[smallest].ranked = true;
    }
    updating_ = false;
}

int TQRPositions::RankOf(double position) const {
    const int index = IndexOf(position);
    return index >= 0 ? entries_.at(index).rank : 0;
}

int TQRPositions::HighestRank() const {
    int highest = 0;
    for (const TQRPositionEntry &entry : entries_)
        highest = std::max(highest, entry.rank);
    return highest;
}

int TQRPositions::IndexOf(double position) const {
    for (int i = 0; i < entries_.size(); ++i) {
        if (SameInteger(entries_.at(i).position, position))
            return i;
    }
    return -1;
}

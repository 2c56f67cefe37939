#pragma once

#include <QList>

// One distinct position of a page's layout: the exact position that created
// it, how many text items share it, and its rank once ranks are assigned.
struct TQRPositionEntry {
    double position = 0;
    int count = 0;
    int rank = 0;
    bool ranked = false;
};

// The distinct positions of one axis of a page. Positions that round to the
// same integer are one entry. Ranks go 1, 2, 3... from the smallest
// position up; a position of 0 or less (or of 9 999 999 and more) gets no
// rank.
class TQRPositions {
public:
    // Counts the position in the entry that rounds to the same integer, or
    // appends a new entry holding it.
    void AddPosition(double position);
    // Ranks the entries not yet ranked, the smallest position first (the
    // earliest entry on a tie).
    void AssignRanks();
    // The rank of the entry the position was counted in; 0 when there is
    // none or it has no rank.
    int RankOf(double position) const;
    // The highest rank given.
    int HighestRank() const;

    const QList<TQRPositionEntry> &Entries() const { return entries_; }
    bool Updating() const { return updating_; }

private:
    int IndexOf(double position) const;

    QList<TQRPositionEntry> entries_;
    bool updating_ = false;
};

#pragma once
// How a list column sorts: two texts that are both IPv4 addresses compare by their numeric
// value, any other pair by their bytes. That rule alone is no consistent order for a
// column that mixes addresses and other texts ("9" < "9.0.0.1" < "10.0.0.1" < "9"), which
// the standard sorts are not allowed to be given; a merge sort of our own applies it
// pairwise and stays safe whatever the column holds.

#include <QByteArray>
#include <QString>
#include <vector>

struct ListSortKey {
    bool isAddress = false;
    quint64 value = 0;
    QByteArray bytes;  // UTF-8, compared byte by byte
};

ListSortKey MakeListSortKey(const QString& text);

// Negative, zero or positive as `a` sorts before, with or after `b` (ascending).
int CompareListSortKeys(const ListSortKey& a, const ListSortKey& b);

// The indexes of `keys` in sorted order; equal keys keep their order.
std::vector<size_t> SortedOrder(const std::vector<ListSortKey>& keys, bool ascending);

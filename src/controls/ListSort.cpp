#include "controls/ListSort.h"

#include <cstring>

#include "controls/UiText.h"

ListSortKey MakeListSortKey(const QString& text) {
    ListSortKey key;
    key.isAddress = UiAddressValue(text, &key.value);
    key.bytes = text.toUtf8();
    return key;
}

int CompareListSortKeys(const ListSortKey& a, const ListSortKey& b) {
    if (a.isAddress && b.isAddress) {
        if (a.value == b.value) return 0;
        return a.value < b.value ? -1 : 1;
    }
    const int common = static_cast<int>(qMin(a.bytes.size(), b.bytes.size()));
    const int result = std::memcmp(a.bytes.constData(), b.bytes.constData(), common);
    if (result != 0) return result;
    if (a.bytes.size() == b.bytes.size()) return 0;
    return a.bytes.size() < b.bytes.size() ? -1 : 1;
}

std::vector<size_t> SortedOrder(const std::vector<ListSortKey>& keys, bool ascending) {
    const size_t count = keys.size();
    std::vector<size_t> order(count);
    for (size_t i = 0; i < count; ++i) order[i] = i;
    std::vector<size_t> buffer(count);
    // "b strictly before a" decides when the merge takes from the right run; ties take from
    // the left, which keeps equal keys in their order.
    const auto before = [&](size_t a, size_t b) {
        const int result = CompareListSortKeys(keys[a], keys[b]);
        return ascending ? result < 0 : result > 0;
    };
    for (size_t width = 1; width < count; width *= 2) {
        for (size_t left = 0; left < count; left += 2 * width) {
            const size_t middle = qMin(left + width, count);
            const size_t right = qMin(left + 2 * width, count);
            size_t i = left, j = middle, out = left;
            while (i < middle && j < right) buffer[out++] = before(order[j], order[i]) ? order[j++] : order[i++];
            while (i < middle) buffer[out++] = order[i++];
            while (j < right) buffer[out++] = order[j++];
        }
        order.swap(buffer);
    }
    return order;
}

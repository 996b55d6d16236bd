#include "pages/SearchSort.h"
#include "convert/Unit_Utils.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include <QLocale>
#include <numeric>
#include <utility>

namespace {
// The recursive quicksort of the list: the pivot key is read once, from the middle position.
// above(a, b) is true when key a ranks above key b.
template <class Key, class Above>
void QuickSort(std::vector<std::int32_t>& order, const std::vector<Key>& keys, int lo, int hi, Above above)
{
    const auto keyAt = [&](int position) -> const Key& {
        return keys[static_cast<std::size_t>(order[static_cast<std::size_t>(position)])];
    };
    const Key pivot = keyAt((lo + hi) / 2);
    int i = lo;
    int j = hi;
    do {
        while (above(pivot, keyAt(i)))
            ++i;
        while (above(keyAt(j), pivot))
            --j;
        if (i <= j) {
            std::swap(order[static_cast<std::size_t>(i)], order[static_cast<std::size_t>(j)]);
            ++i;
            --j;
        }
    } while (i <= j);
    if (lo < j)
        QuickSort(order, keys, lo, j, above);
    if (i < hi)
        QuickSort(order, keys, i, hi, above);
}

template <class Key, class Field, class Above>
void SortBy(std::vector<std::int32_t>& order, const std::vector<TSearchRow>& rows, Field field, Above above)
{
    std::vector<Key> keys;
    keys.reserve(rows.size());
    for (const TSearchRow& row : rows)
        keys.push_back(row.*field);
    QuickSort(order, keys, 0, static_cast<int>(order.size()) - 1, above);
}

template <class T> bool NumberAbove(const T& a, const T& b)
{
    return a > b;
}

// Fixed point with three decimals and no digit grouping, as the list has always shown them.
QString FixedThree(double value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', 3);
}
} // namespace

TSearchRow SearchRowOf(const TDevice& device)
{
    return {device.AdressStr.load(), device.ComPortSpeed.load(), device.Model, device.ID_M, device.ID_D,
            device.SerialNumber};
}

std::vector<TSearchRow> SearchRowsOf(const TDeviceList& devices)
{
    std::vector<TSearchRow> rows;
    const int count = devices.Count();
    rows.reserve(static_cast<std::size_t>(count));
    for (int index = 0; index < count; ++index) {
        if (const TDevice* const device = devices.At(index))
            rows.push_back(SearchRowOf(*device));
    }
    return rows;
}

bool SearchCompareString(const QByteArray& S1, const QByteArray& S2)
{
    if (S1.size() != S2.size())
        return S1.size() > S2.size();
    for (qsizetype i = 0; i < S1.size(); ++i) {
        const auto a = static_cast<unsigned char>(S1[i]);
        const auto b = static_cast<unsigned char>(S2[i]);
        if (a != b)
            return a > b;
    }
    return false;
}

std::vector<std::int32_t> SearchSortOrder(const std::vector<TSearchRow>& rows, int column)
{
    std::vector<std::int32_t> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    if (order.size() < 2)
        return order;
    switch (column) {
    case SearchColumn::Address:
        SortBy<QByteArray>(order, rows, &TSearchRow::AdressStr, SearchCompareString);
        break;
    case SearchColumn::Speed:
        SortBy<std::int32_t>(order, rows, &TSearchRow::ComPortSpeed, NumberAbove<std::int32_t>);
        break;
    case SearchColumn::Model:
        SortBy<QByteArray>(order, rows, &TSearchRow::Model, SearchCompareString);
        break;
    case SearchColumn::Distance:
        SortBy<double>(order, rows, &TSearchRow::ID_M, NumberAbove<double>);
        break;
    case SearchColumn::Range:
        SortBy<double>(order, rows, &TSearchRow::ID_D, NumberAbove<double>);
        break;
    case SearchColumn::Serial:
        SortBy<std::int32_t>(order, rows, &TSearchRow::SerialNumber, NumberAbove<std::int32_t>);
        break;
    default:
        break;
    }
    return order;
}

void NextSortState(int clicked, std::int32_t& column, bool& ascending)
{
    ascending = clicked == column ? !ascending : true;
    column = clicked;
}

QStringList SearchRowTexts(const TSearchRow& row)
{
    return {QString::number(MyHexValue(row.AdressStr)),
            QString::number(row.ComPortSpeed) + QStringLiteral(" бод"),
            // The sensor pads its model name with blanks, which would only push the name out of view.
            QString::fromLatin1(row.Model).trimmed(), FixedThree(row.ID_M), FixedThree(row.ID_D),
            QString::number(row.SerialNumber)};
}

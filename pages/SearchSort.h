#pragma once
// The search result list as data: what one row shows, the order of a sort by one column and the
// sort state a header click leaves. No widget in reach, so the rules are testable on their own.
#include <QByteArray>
#include <QStringList>
#include <cstdint>
#include <vector>

class TDevice;
class TDeviceList;

namespace SearchColumn {
inline constexpr int Address = 0;
inline constexpr int Speed = 1;
inline constexpr int Model = 2;
inline constexpr int Distance = 3;
inline constexpr int Range = 4;
inline constexpr int Serial = 5;
inline constexpr int Count = 6;
} // namespace SearchColumn

// What the list shows of one sensor record, copied on the main thread.
struct TSearchRow {
    QByteArray AdressStr;
    std::int32_t ComPortSpeed = 0;
    QByteArray Model;
    double ID_M = 0;
    double ID_D = 0;
    std::int32_t SerialNumber = 0;
};

TSearchRow SearchRowOf(const TDevice& device);
// One row per record, in list order.
std::vector<TSearchRow> SearchRowsOf(const TDeviceList& devices);

// True when S1 ranks above S2: the longer string, else the higher byte at the first difference.
// For two-digit upper-case hexadecimal addresses that is numeric order.
bool SearchCompareString(const QByteArray& S1, const QByteArray& S2);

// Indices 0 .. rows.size() - 1 in ascending order of the key of column; rows with equal keys
// come in no promised order. A column outside 0-5 leaves the indices in list order.
std::vector<std::int32_t> SearchSortOrder(const std::vector<TSearchRow>& rows, int column);

// The sort state after a click on header clicked: the same column again reverses the direction,
// any other column starts ascending.
void NextSortState(int clicked, std::int32_t& column, bool& ascending);

// The six cell texts of a row: address in decimal, "57600 бод", model without its padding blanks,
// distance and range with
// three decimals and the default locale's separator, serial number.
QStringList SearchRowTexts(const TSearchRow& row);

// How the result list is sorted: the column last clicked (-1: none), its direction and the
// order of the records it gives. The latch page's broadcasts follow it by speed.
struct TSearchOrder {
    std::int32_t Column = -1;
    bool Ascending = false;
    std::vector<std::int32_t> Order;
};

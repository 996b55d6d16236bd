#include "protocol/StreamGroups.h"
#include "protocol/ReplyFields.h"
#include <algorithm>
#include <optional>

namespace {
constexpr qsizetype GroupLength = 7; // "!", five characters, CR

// Digits only is the common case and needs no copy; anything else takes the general reader.
std::optional<std::int64_t> GroupNumber(const char* digits, qsizetype length)
{
    std::int64_t value = 0;
    for (qsizetype i = 0; i < length; ++i) {
        const char c = digits[i];
        if (c < '0' || c > '9')
            return DecimalNumber(QByteArray(digits, length), false);
        value = value * 10 + (c - '0');
    }
    return value;
}
} // namespace

int CountGroups(const QByteArray& st, qsizetype from)
{
    // The characters before each "!" stay in the count's copy and never hold one.
    int count = 0;
    qsizetype left = st.size() - from;
    while (left > GroupLength - 1) {
        const qsizetype bang = st.indexOf('!', from);
        if (bang < 0)
            break;
        const qsizetype cut = std::min(GroupLength, st.size() - bang);
        left -= cut;
        from = bang + cut;
        ++count;
    }
    return count;
}

bool ExtractGroup(const QByteArray& st, qsizetype& from, int& value, bool& nGroup)
{
    const qsizetype bang = st.indexOf('!', from);
    if (bang < 0)
        return false;
    nGroup = bang + 1 < st.size() && st[bang + 1] == 'N';
    bool ok = false;
    if (bang + GroupLength - 1 < st.size() && st[bang + GroupLength - 1] == '\r') {
        const char* const group = st.constData() + bang;
        const auto number = nGroup ? GroupNumber(group + 2, 4) : GroupNumber(group + 1, 5);
        if (number) {
            value = static_cast<int>(*number);
            ok = true;
        }
    }
    from = std::min(bang + GroupLength, st.size());
    return ok;
}

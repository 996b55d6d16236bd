#include "protocol/DeviceUnit.h"
#include "protocol/LinkState.h"
#include "protocol/ReplyFields.h"
#include <algorithm>

namespace {
constexpr qsizetype GroupLength = 7; // "!", five characters, CR
} // namespace

int TDevice::ValueCount(const QByteArray& st) const
{
    // Counts as if the seven characters from each first "!" were cut out in turn, without
    // copying: the characters before each "!" stay and never hold one.
    int count = 0;
    qsizetype left = st.size();
    qsizetype from = 0;
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

bool TDevice::ExtractValue(int& Value, QByteArray& st) const
{
    const qsizetype bang = st.indexOf('!');
    bool ok = false;
    if (bang >= 0) {
        if (bang + GroupLength - 1 < st.size() && st[bang + GroupLength - 1] == '\r') {
            const bool nForm = st[bang + 1] == 'N';
            const auto number =
                nForm ? DecimalNumber(st.mid(bang + 2, 4), false) : DecimalNumber(st.mid(bang + 1, 5), false);
            if (number) {
                Value = static_cast<int>(*number);
                ok = true;
            }
        }
        st.remove(0, std::min(bang + GroupLength, st.size()));
    }
    ReceiveBuffer = st;
    return ok;
}

#include "settings/Geometry.h"
#include <algorithm>
#include <cstdint>

namespace {

// Stored values may be anything a text file holds; 64-bit sums cannot overflow.
int Place(std::int64_t stored, int size, int screen, bool keep)
{
    std::int64_t pos = 0;
    if (keep)
        pos = stored;
    else if (stored == CentredPosition)
        pos = (static_cast<std::int64_t>(screen) - size) / 2; // truncates toward zero
    if (pos > static_cast<std::int64_t>(screen) - 50)
        pos = static_cast<std::int64_t>(screen) - size;
    return static_cast<int>(pos);
}

} // namespace

WindowGeometry RestoreGeometry(const WindowGeometry& stored, const QSize& screen)
{
    WindowGeometry g;
    g.Width =
        std::max(stored.Width > screen.width() ? screen.width() : stored.Width, MinimumWindowSize.width());
    g.Height = std::max(stored.Height > screen.height() ? screen.height() : stored.Height,
                        MinimumWindowSize.height());
    g.Top = Place(stored.Top, g.Height, screen.height(), stored.Top >= -1);
    g.Left =
        Place(stored.Left, g.Width, screen.width(), static_cast<std::int64_t>(stored.Left) + g.Width >= 3);
    return g;
}

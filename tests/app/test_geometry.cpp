#include "settings/Geometry.h"
#include <climits>
#include <gtest/gtest.h>

namespace {

struct GeometryCase {
    const char* what;
    WindowGeometry stored;
    QSize screen;
    WindowGeometry expected;
};

void PrintTo(const GeometryCase& c, std::ostream* os)
{
    *os << c.what;
}

class RestoreGeometryTest : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(RestoreGeometryTest, GivesTheExpectedWindow)
{
    const GeometryCase& c = GetParam();
    const WindowGeometry g = RestoreGeometry(c.stored, c.screen);
    EXPECT_EQ(g.Width, c.expected.Width);
    EXPECT_EQ(g.Height, c.expected.Height);
    EXPECT_EQ(g.Top, c.expected.Top);
    EXPECT_EQ(g.Left, c.expected.Left);
}

constexpr int C = CentredPosition;
const QSize FullHd{1920, 1080};

INSTANTIATE_TEST_SUITE_P(
    Rules, RestoreGeometryTest,
    ::testing::Values(
        // Defaults: 540 is raised to the minimum 560, and the window is centred.
        GeometryCase{"defaults", DefaultStoredGeometry, FullHd, {800, 560, 260, 560}},
        GeometryCase{
            "defaults on an odd screen truncate", DefaultStoredGeometry, {1367, 769}, {800, 560, 104, 283}},
        GeometryCase{"top -1 is used", {1000, 700, -1, 10}, FullHd, {1000, 700, -1, 10}},
        GeometryCase{"top -2 gives 0", {1000, 700, -2, 10}, FullHd, {1000, 700, 0, 10}},
        GeometryCase{"top 0 is used", {1000, 700, 0, 10}, FullHd, {1000, 700, 0, 10}},
        GeometryCase{"top screen-50 is kept", {1000, 700, 1030, 10}, FullHd, {1000, 700, 1030, 10}},
        GeometryCase{
            "top screen-49 moves up to the bottom edge", {1000, 700, 1031, 10}, FullHd, {1000, 700, 380, 10}},
        GeometryCase{"huge top moves up", {1000, 700, INT_MAX, 10}, FullHd, {1000, 700, 380, 10}},
        GeometryCase{"very negative top gives 0", {1000, 700, INT_MIN, 10}, FullHd, {1000, 700, 0, 10}},
        GeometryCase{"left -797 with width 800 is used", {800, 600, 5, -797}, FullHd, {800, 600, 5, -797}},
        GeometryCase{"left -798 with width 800 gives 0", {800, 600, 5, -798}, FullHd, {800, 600, 5, 0}},
        GeometryCase{"left counts the restored width", {300, 600, 5, -797}, FullHd, {800, 600, 5, -797}},
        GeometryCase{"left screen-50 is kept", {800, 600, 5, 1870}, FullHd, {800, 600, 5, 1870}},
        GeometryCase{
            "left screen-49 moves to the right edge", {800, 600, 5, 1871}, FullHd, {800, 600, 5, 1120}},
        GeometryCase{
            "huge left moves to the right edge", {800, 600, 5, INT_MAX}, FullHd, {800, 600, 5, 1120}},
        GeometryCase{"very negative left gives 0", {800, 600, 5, INT_MIN}, FullHd, {800, 600, 5, 0}},
        GeometryCase{"centred left", {1000, 600, 5, C}, FullHd, {1000, 600, 5, 460}},
        GeometryCase{"width 5000 on a 1920 screen", {5000, 600, 5, C}, FullHd, {1920, 600, 5, 0}},
        GeometryCase{"height larger than the screen", {1000, 3000, C, 5}, FullHd, {1000, 1080, 0, 5}},
        GeometryCase{"zero and negative sizes take the minimum", {0, -5, C, C}, FullHd, {800, 560, 260, 560}},
        GeometryCase{"screen smaller than the minimum", {1000, 700, C, C}, {640, 480}, {800, 560, -40, -80}},
        GeometryCase{"screen smaller than the minimum, far top",
                     {1000, 700, 470, 600},
                     {640, 480},
                     {800, 560, -80, -160}}));

} // namespace

#include "FormFixture.h"
#include "bus/SensorBus.h"
#include "pages/SearchInput.h"
#include "pages/SearchSort.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "protocol/ReceiveFraming.h"
#include <QLocale>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

namespace {

TSearchRow Row(const char* address, std::int32_t speed = 9600, const char* model = "M", double distance = 0,
               double range = 0, std::int32_t serial = 0)
{
    return {address, speed, model, distance, range, serial};
}

// The column values of rows in the order given.
template <class Field>
std::vector<Field> InOrder(const std::vector<TSearchRow>& rows, const std::vector<std::int32_t>& order,
                           Field TSearchRow::*field)
{
    std::vector<Field> values;
    for (const std::int32_t index : order)
        values.push_back(rows.at(static_cast<std::size_t>(index)).*field);
    return values;
}

TEST(SearchCompareStringTest, LongerRanksAboveElseTheFirstDifferingByte)
{
    struct Case {
        QByteArray s1, s2;
        bool above;
    };
    const Case cases[] = {
        {"0A", "02", true},  {"02", "0A", false}, {"ABC", "ZZ", true}, {"ZZ", "ABC", false},
        {"1A", "1A", false}, {"", "", false},     {"a", "Z", true},    {"\xE0", "z", true},
        {"B", "", true},     {"", "B", false},    {"AB", "AC", false}, {"AC", "AB", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SearchCompareString(c.s1, c.s2), c.above)
            << c.s1.toStdString() << " vs " << c.s2.toStdString();
        EXPECT_EQ(TSearchPage::CompareString(c.s1, c.s2), c.above) << c.s1.toStdString();
    }
}

TEST(SearchSortOrderTest, EachColumnSortsByItsOwnKindOfKey)
{
    const std::vector<TSearchRow> rows = {
        Row("0A", 115200, "ZZ", 150.0, 10.0, 300),
        Row("01", 9600, "ABC", 30.5, 1000.0, 7),
        Row("02", 57600, "Q", 1500.0, 250.0, 12345),
    };
    EXPECT_EQ(InOrder(rows, SearchSortOrder(rows, SearchColumn::Address), &TSearchRow::AdressStr),
              (std::vector<QByteArray>{"01", "02", "0A"}));
    EXPECT_EQ(InOrder(rows, SearchSortOrder(rows, SearchColumn::Speed), &TSearchRow::ComPortSpeed),
              (std::vector<std::int32_t>{9600, 57600, 115200}));
    EXPECT_EQ(InOrder(rows, SearchSortOrder(rows, SearchColumn::Model), &TSearchRow::Model),
              (std::vector<QByteArray>{"Q", "ZZ", "ABC"}));
    EXPECT_EQ(InOrder(rows, SearchSortOrder(rows, SearchColumn::Distance), &TSearchRow::ID_M),
              (std::vector<double>{30.5, 150.0, 1500.0}));
    EXPECT_EQ(InOrder(rows, SearchSortOrder(rows, SearchColumn::Range), &TSearchRow::ID_D),
              (std::vector<double>{10.0, 250.0, 1000.0}));
    EXPECT_EQ(InOrder(rows, SearchSortOrder(rows, SearchColumn::Serial), &TSearchRow::SerialNumber),
              (std::vector<std::int32_t>{7, 300, 12345}));
}

TEST(SearchSortOrderTest, LargeAndDegenerateListsComeOutSorted)
{
    // Descending, ascending, all equal and a saw tooth: the shapes a quicksort gets wrong first.
    const std::vector<std::function<std::int32_t(int)>> shapes = {
        [](int i) { return 1000 - i; }, [](int i) { return i; }, [](int) { return 5; },
        [](int i) { return (i * 37) % 11; }};
    for (std::size_t shape = 0; shape < shapes.size(); ++shape) {
        std::vector<TSearchRow> rows;
        for (int i = 0; i < 255; ++i)
            rows.push_back(Row("01", shapes[shape](i)));
        const std::vector<std::int32_t> order = SearchSortOrder(rows, SearchColumn::Speed);
        ASSERT_EQ(order.size(), rows.size()) << shape;
        std::vector<bool> seen(rows.size(), false);
        for (const std::int32_t index : order)
            seen.at(static_cast<std::size_t>(index)) = true;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 255) << "a permutation, shape " << shape;
        const auto speeds = InOrder(rows, order, &TSearchRow::ComPortSpeed);
        EXPECT_TRUE(std::is_sorted(speeds.begin(), speeds.end())) << shape;
    }
    EXPECT_TRUE(SearchSortOrder({}, SearchColumn::Speed).empty());
    EXPECT_EQ(SearchSortOrder({Row("05")}, SearchColumn::Address), std::vector<std::int32_t>{0});
}

TEST(SearchSortStateTest, SameHeaderTogglesAnotherStartsAscending)
{
    struct Step {
        int clicked;
        std::int32_t column;
        bool ascending;
    };
    // From the start state (-1, false); the latch page leaves column 1 behind after its sort.
    const Step steps[] = {{0, 0, true},  {0, 0, false}, {0, 0, true}, {2, 2, true},
                          {2, 2, false}, {1, 1, true},  {5, 5, true}, {5, 5, false}};
    std::int32_t column = -1;
    bool ascending = false;
    for (const Step& s : steps) {
        NextSortState(s.clicked, column, ascending);
        EXPECT_EQ(column, s.column) << s.clicked;
        EXPECT_EQ(ascending, s.ascending) << s.clicked;
    }
}

TEST(SearchRowTextsTest, CellsInACommaLocaleAndADotLocale)
{
    const TSearchRow row = Row("1A", 57600, "VLT-250             ", 150.0, 1234.5, 230904);
    struct Case {
        QLocale locale;
        QStringList cells;
    };
    const Case cases[] = {
        {QLocale(QLocale::Russian, QLocale::Russia),
         {"26", "57600 бод", "VLT-250", "150,000", "1234,500", "230904"}},
        {QLocale(QLocale::English, QLocale::UnitedStates),
         {"26", "57600 бод", "VLT-250", "150.000", "1234.500", "230904"}},
    };
    for (const Case& c : cases) {
        QLocale::setDefault(c.locale);
        EXPECT_EQ(SearchRowTexts(row), c.cells) << c.locale.name().toStdString();
    }
    QLocale::setDefault(QLocale::c());
}

TEST(SearchProgressCaptionTest, OneDigitAddressesGetABlankBeforeTheSpeedLabel)
{
    struct Case {
        int address, speed;
        const char* caption;
    };
    const Case cases[] = {
        {5, 9600, "         Адрес: 5 Cкорость: 9600"},
        {12, 9600, "         Адрес: 12Cкорость: 9600"},
        {9, 921600, "         Адрес: 9 Cкорость: 921600"},
        {10, 19200, "         Адрес: 10Cкорость: 19200"},
        {255, 115200, "         Адрес: 255Cкорость: 115200"},
    };
    for (const Case& c : cases) {
        const QString caption = SearchProgressCaption(c.address, c.speed);
        EXPECT_EQ(caption, QString::fromUtf8(c.caption)) << c.address;
        EXPECT_TRUE(caption.contains(QStringLiteral("Cкорость: "))) << "Latin C, then Cyrillic";
        EXPECT_EQ(caption.at(caption.indexOf(u'к') - 1), QChar(u'C')) << c.address;
    }
}

TEST(SearchInputTest, RefusesWhatCannotBeSearchedAndCorrectsShortDelays)
{
    using Field = TSearchInput::Field;
    struct Case {
        const char* delay;
        const char* range;
        Field refused;
        std::int32_t delayUsed, rangeUsed, watchdog;
    };
    const Case cases[] = {
        {"20", "3", Field::None, 20, 3, 6000}, {" 20 ", "255", Field::None, 20, 255, 510000},
        {"10", "2", Field::None, 10, 2, 2000}, {"1", "3", Field::None, 10, 3, 3000},
        {"9", "3", Field::None, 10, 3, 3000},  {"60000", "255", Field::None, 60000, 255, 1530000000},
        {"60001", "3", Field::Delay, 0, 0, 0}, {"999999999", "255", Field::Delay, 0, 0, 0},
        {"0", "3", Field::Delay, 0, 0, 0},     {"-5", "3", Field::Delay, 0, 0, 0},
        {"abc", "3", Field::Delay, 0, 0, 0},   {"", "3", Field::Delay, 0, 0, 0},
        {"2.5", "3", Field::Delay, 0, 0, 0},   {"abc", "0", Field::Delay, 0, 0, 0},
        {"20", "1", Field::Range, 0, 0, 0},    {"20", "256", Field::Range, 0, 0, 0},
        {"20", "0", Field::Range, 0, 0, 0},    {"20", "-3", Field::Range, 0, 0, 0},
        {"20", "", Field::Range, 0, 0, 0},     {"20", "1e2", Field::Range, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const TSearchInput input = CheckSearchInput(QString::fromUtf8(c.delay), QString::fromUtf8(c.range));
        const std::string name = std::string(c.delay) + " / " + c.range;
        EXPECT_EQ(input.refused, c.refused) << name;
        EXPECT_EQ(input.Accepted(), c.refused == Field::None) << name;
        if (input.Accepted()) {
            EXPECT_EQ(input.delay, c.delayUsed) << name;
            EXPECT_EQ(input.range, c.rangeUsed) << name;
            EXPECT_EQ(input.watchdog, c.watchdog) << name;
            EXPECT_TRUE(input.message.isEmpty()) << name;
        } else {
            EXPECT_FALSE(input.message.isEmpty()) << name;
        }
    }
}

TEST(KeepAnswerStartTest, OnlyTheBeginningOfTheProbedAddresssAnswerStays)
{
    struct Case {
        QByteArray buffer;
        int address;
        TProtocol protocol;
        QByteArray kept;
    };
    constexpr TProtocol S = TProtocol::Standard;
    constexpr TProtocol M = TProtocol::Modbus;
    const Case cases[] = {
        {"", 3, S, ""},
        {"!0", 3, S, "!0"},
        {"!", 26, S, "!"},
        {"!1a", 26, S, "!1a"},
        {"!1AR01", 26, S, "!1AR01"},
        {"xx!03R0", 3, S, "!03R0"},
        {"!02R0102\r!0", 3, S, "!0"},
        {"!04", 3, S, ""},
        {"!03R0103\r", 3, S, ""},
        {"garbage", 3, S, ""},
        {"!03R010300", 3, S, ""},
        {QByteArray("\x03", 1), 3, M, QByteArray("\x03", 1)},
        {QByteArray("\x03\x03\x02", 3), 3, M, QByteArray("\x03\x03\x02", 3)},
        {QByteArray("\x03\x83", 2), 3, M, QByteArray("\x03\x83", 2)},
        {QByteArray("\x04\x03", 2), 3, M, ""},
        {QByteArray("\x03\x06", 2), 3, M, ""},
        {QByteArray("\x03\x03\x02\x00\x03\x00\x00", 7), 3, M, ""},
        {"!0", 3, M, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KeepAnswerStart(c.buffer, c.address, c.protocol), c.kept)
            << c.buffer.toHex(' ').toStdString() << " protocol " << int(c.protocol);
}

// The list on the real window: header clicks reorder the rows AddIDInfo wrote.
class SearchListTest : public FormTest {
  protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        form = MakeForm();
    }
    void TearDown() override
    {
        form.reset();
        QLocale::setDefault(QLocale::c());
    }
    void AddRecord(const QByteArray& address, std::int32_t speed, const QByteArray& model)
    {
        TDevice* const device = form->Bus().Devices().Append(address, speed);
        ASSERT_NE(device, nullptr);
        device->Model = model;
        device->ID_M = 150.0;
    }
    QStringList Column(int column) const
    {
        QStringList texts;
        for (int row = 0; row < form->TabSheet1->ListView1->topLevelItemCount(); ++row)
            texts << form->TabSheet1->ListView1->topLevelItem(row)->text(column);
        return texts;
    }
    void ClickHeader(int column) { form->TabSheet1->ListView1ColumnClick(column); }

    std::unique_ptr<TForm1> form;
};

TEST_F(SearchListTest, HeaderClicksSortTheRowsAndToggleTheDirection)
{
    AddRecord("0A", 115200, "ZZ");
    AddRecord("01", 9600, "ABC");
    AddRecord("02", 57600, "Q");
    form->TabSheet1->AddIDInfo();
    EXPECT_EQ(Column(0), (QStringList{"10", "1", "2"})) << "in the order of discovery";
    EXPECT_EQ(Column(3), (QStringList{"150,000", "150,000", "150,000"}));

    struct Click {
        int column;
        QStringList shown; // of the clicked column
        bool ascending;
    };
    const Click clicks[] = {
        {0, {"1", "2", "10"}, true},   {0, {"10", "2", "1"}, false},
        {0, {"1", "2", "10"}, true},   {1, {"9600 бод", "57600 бод", "115200 бод"}, true},
        {2, {"Q", "ZZ", "ABC"}, true}, {2, {"ABC", "ZZ", "Q"}, false},
        {0, {"1", "2", "10"}, true},
    };
    for (const Click& c : clicks) {
        ClickHeader(c.column);
        EXPECT_EQ(Column(c.column), c.shown) << c.column;
        EXPECT_EQ(form->SearchOrder().Column, c.column);
        EXPECT_EQ(form->SearchOrder().Ascending, c.ascending) << c.column;
        EXPECT_EQ(form->SearchOrder().Order.size(), 3u);
    }
    // A row keeps its cells together.
    EXPECT_EQ(Column(2), (QStringList{"ABC", "Q", "ZZ"}));
}

TEST_F(SearchListTest, AClickOnAnEmptyListChangesNothing)
{
    AddRecord("01", 9600, "A");
    form->SearchOrder().Column = 1;
    form->SearchOrder().Ascending = true;
    ClickHeader(1);
    ClickHeader(3);
    EXPECT_EQ(form->SearchOrder().Column, 1);
    EXPECT_TRUE(form->SearchOrder().Ascending);
    EXPECT_TRUE(form->SearchOrder().Order.empty());
    EXPECT_EQ(form->TabSheet1->ListView1->topLevelItemCount(), 0);
}

} // namespace

#include "LocaleTest.h"
#include "convert/Unit_Utils.h"
#include "protocol/DeviceUnit.h"
#include "params/ParamSet.h"
#include <functional>
#include <vector>

namespace {

using Setter = std::function<void(TDevice&)>;

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QByteArray WrittenValue(const std::vector<TRegisterWrite>& writes, const char* reg)
{
    for (const auto& w : writes) {
        if (w.Register == reg)
            return w.Value;
    }
    return "missing";
}

QByteArray Hex(const QByteArray& bytes)
{
    return bytes.toHex().toUpper();
}

// A page as a valid read or edit leaves it; every row and group differs from its default.
TParamTexts KnownPage()
{
    TParamTexts page;
    page.rows = {U("26"),
                 U("Вкл"),
                 U("Выкл"),
                 U("Вкл"),
                 U("по внешнему синхросигналу"),
                 U("контроль нечетности, 2 стоп-бита"),
                 U("57600 бод"),
                 LocalNumber("0,3"),
                 U("1000"),
                 LocalNumber("300,0"),
                 U("50000"),
                 U("258"),
                 U("49999"),
                 U("300"),
                 U("301"),
                 U("7"),
                 U("4096"),
                 U("медианная фильтрация"),
                 U("255"),
                 U("49"),
                 U("-300")};
    page.radio1 = 2;
    page.radio2 = 1;
    page.radio6 = 1;
    page.radio5 = 7;
    return page;
}

// The Modbus registers of KnownPage, 0x0000 and 0x0010..0x0022.
const QByteArray KnownFlags = QByteArray::fromHex("001D");
const QByteArray KnownBlock = QByteArray::fromHex("001A 0005 0004 0003 03E8 C350 0001 00FF 0031 0102"
                                                  "C34F 0021 012C 012D 0007 1000 0001 0007 012C");

class ParamSetTest : public LocaleTest {};
INSTANTIATE_LOCALE_SUITE(ParamSetTest);

TEST_P(ParamSetTest, PeriodAndOutputPeriodShowTenthsInTheLocaleSeparator)
{
    struct Case {
        int period, n;
        const char* row7;
        const char* row9;
    };
    const std::vector<Case> cases = {
        {0, 0, "0,0", "0,0"},
        {0, 5, "0,0", "0,0"},
        {1, 1, "0,1", "0,1"},
        {1, 0, "0,1", "0,0"},
        {3, 3, "0,3", "0,9"},
        {7, 10, "0,7", "7,0"},
        {0x2710, 3, "1000,0", "3000,0"},
        {12345, 1000, "1234,5", "1234500,0"},
        {65535, 1, "6553,5", "6553,5"},
        {1531, 65535, "153,1", "10033408,5"},
        {65535, 65535, "6553,5", "429483622,5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row9);
        TDevice d("01");
        d.PeriodHi = static_cast<std::uint8_t>(c.period >> 8);
        d.PeriodLo = static_cast<std::uint8_t>(c.period & 0xFF);
        d.Nt_Hi = static_cast<std::uint8_t>(c.n >> 8);
        d.Nt_Lo = static_cast<std::uint8_t>(c.n & 0xFF);
        const TParamTexts texts = ParamTextsOf(d);
        EXPECT_EQ(texts.rows[ParamRow::Period], LocalNumber(c.row7));
        EXPECT_EQ(texts.rows[ParamRow::OutputPeriod], LocalNumber(c.row9));
    }
}

TEST_P(ParamSetTest, CorrectionShowsItsSign)
{
    struct Case {
        std::uint8_t hi, lo, sign;
        const char* text;
    };
    const std::vector<Case> cases = {
        {1, 0x2C, 1, "-300"},      {1, 0x2C, 0, "300"},      {0, 0, 1, "0"},      {0, 0, 0, "0"},
        {0xFF, 0xFF, 1, "-65535"}, {0xFF, 0xFF, 0, "65535"}, {1, 0x2C, 2, "300"}, // only 1 means negative
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TDevice d("01");
        d.CorrezHi = c.hi;
        d.CorrezLo = c.lo;
        d.CorrezSign = c.sign;
        EXPECT_EQ(ParamTextsOf(d).rows[ParamRow::Correz], U(c.text));
        EXPECT_EQ(QString::number(CorrectionOf(d)), U(c.text));
    }
}

TEST_P(ParamSetTest, CorrectionSplitsIntoRecordFields)
{
    struct Case {
        std::int32_t value;
        std::uint8_t hi, lo, sign;
    };
    const std::vector<Case> cases = {
        {-300, 1, 0x2C, 1}, {300, 1, 0x2C, 0},       {0, 0, 0, 0},
        {256, 1, 0, 0},     {-65535, 0xFF, 0xFF, 1}, {65535, 0xFF, 0xFF, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const TCorrection correction = CorrectionOf(c.value);
        TDevice d("01");
        StoreCorrection(correction, d);
        EXPECT_EQ(d.Correz, c.value);
        EXPECT_EQ(d.CorrezHi, c.hi);
        EXPECT_EQ(d.CorrezLo, c.lo);
        EXPECT_EQ(d.CorrezSign, c.sign);
        EXPECT_EQ(CorrectionOf(d), c.value);
    }
}

// Every item of every pick list, both ways: raw -> text, and text -> the standard register
// and the Modbus register or flag bit.
TEST_P(ParamSetTest, PickListRowsBothWays)
{
    struct Case {
        int row;
        std::uint16_t TDevice::*field;
        const char* reg;
        int modbusIndex; // byte of the block, or -1 - bit of the flag register
        std::vector<const char*> texts;
        int firstRaw;
        std::vector<int> outside;
    };
    const std::vector<Case> cases = {
        {1, &TDevice::GaugeOnOff, "02", -1 - 0, {"Выкл", "Вкл"}, 0, {2, 255}},
        {2, &TDevice::AnalogExit, "03", -1 - 1, {"Выкл", "Вкл"}, 0, {2}},
        {3, &TDevice::ThreadOnOff, "04", -1 - 4, {"Выкл", "Вкл"}, 0, {2}},
        {4, &TDevice::Synhro, "05", -1 - 2, {"по таймеру", "по внешнему синхросигналу"}, 0, {2}},
        {5,
         &TDevice::ByteFormat,
         "06",
         3,
         {"паритета нет, 1 стоп-бит", "контроль четности, 1 стоп-бит", "контроль нечетности, 1 стоп-бит",
          "паритета нет, 2 стоп-бита", "контроль четности, 2 стоп-бита", "контроль нечетности, 2 стоп-бита"},
         0,
         {6, 0x100}},
        {6,
         &TDevice::Uart,
         "07",
         5,
         {"9600 бод", "19200 бод", "38400 бод", "57600 бод", "115200 бод", "230400 бод", "460800 бод",
          "921600 бод"},
         1,
         {0, 9, 0x105}},
        {17, &TDevice::TypeData, "0E", 13, {"скользящее усреднение", "медианная фильтрация"}, 0, {2}},
    };
    for (const auto& c : cases) {
        for (std::size_t i = 0; i < c.texts.size(); ++i) {
            const int raw = c.firstRaw + static_cast<int>(i);
            SCOPED_TRACE(c.texts[i]);
            TDevice d("01");
            d.*c.field = static_cast<std::uint16_t>(raw);
            EXPECT_EQ(ParamTextsOf(d).rows[c.row], U(c.texts[i]));
            EXPECT_EQ(PickList(c.row).at(static_cast<qsizetype>(i)), U(c.texts[i]));

            TParamTexts page = KnownPage();
            page.rows[c.row] = U(c.texts[i]);
            EXPECT_EQ(WrittenValue(StandardWrites(page, d), c.reg),
                      QByteArray::number(raw, 16).rightJustified(2, '0'));
            if (c.modbusIndex >= 0) {
                EXPECT_EQ(ModbusBlockBytes(page).at(c.modbusIndex), raw);
                EXPECT_EQ(ModbusBlockBytes(page).at(c.modbusIndex - 1), 0);
            } else {
                const int bit = -1 - c.modbusIndex;
                EXPECT_EQ((ModbusFlagBytes(page).at(1) >> bit) & 1, raw);
            }
        }
        for (const int raw : c.outside) {
            SCOPED_TRACE(raw);
            TDevice d("01");
            d.*c.field = static_cast<std::uint16_t>(raw);
            EXPECT_EQ(ParamTextsOf(d).rows[c.row], QString());
        }
    }
}

TEST_P(ParamSetTest, RowsWithoutPickListOfferNone)
{
    for (const int row : {-1, 0, 7, 8, 9, 10, 16, 18, 19, 20, 21})
        EXPECT_TRUE(PickList(row).isEmpty()) << row;
}

TEST_P(ParamSetTest, RadioGroupsFollowTheirRegisters)
{
    struct Case {
        std::uint8_t discreet, r, oi;
        int radio1, radio2, radio6, radio5;
    };
    const std::vector<Case> cases = {
        {0x00, 0, 0, 0, 0, 0, 0},         {0x01, 1, 8, 0, 1, 1, 8},   {0x02, 0, 4, 0, 2, 0, 4},
        {0x10, 0, 0, 1, 0, 0, 0},         {0x12, 0, 0, 1, 2, 0, 0},   {0x20, 0, 0, 2, 0, 0, 0},
        {0x21, 0, 0, 2, 1, 0, 0},         {0x22, 0, 0, 2, 2, 0, 0},   {0x03, 2, 9, -1, -1, -1, -1},
        {0x30, 255, 255, -1, -1, -1, -1}, {0xFF, 0, 0, -1, -1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.discreet);
        TDevice d("01");
        d.DiscreetExit = c.discreet;
        d.param_R = c.r;
        d.param_OI = c.oi;
        const TParamTexts texts = ParamTextsOf(d);
        EXPECT_EQ(texts.radio1, c.radio1);
        EXPECT_EQ(texts.radio2, c.radio2);
        EXPECT_EQ(texts.radio6, c.radio6);
        EXPECT_EQ(texts.radio5, c.radio5);
    }
}

TEST_P(ParamSetTest, RadioGroupsEncodeWithTheirDefaults)
{
    struct Case {
        int radio1, radio2, radio6, radio5;
        const char* std15;
        const char* std1E;
        const char* std1F;
        int mb1B, mb20, mb21;
    };
    const std::vector<Case> cases = {
        {2, 1, 0, 8, "21", "00", "08", 0x21, 0, 8},  {0, 0, 1, 0, "00", "01", "00", 0x00, 1, 0},
        {1, 2, 1, 4, "12", "01", "04", 0x12, 1, 4},  {2, 2, 0, 1, "22", "00", "01", 0x22, 0, 1},
        {-1, -1, -1, -1, "00", "01", "02", 0, 0, 0}, {3, 1, 2, 9, "01", "01", "02", 0x01, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.std15);
        TParamTexts page = KnownPage();
        page.radio1 = c.radio1;
        page.radio2 = c.radio2;
        page.radio6 = c.radio6;
        page.radio5 = c.radio5;
        const TDevice d("01");
        const auto writes = StandardWrites(page, d);
        EXPECT_EQ(WrittenValue(writes, "15"), c.std15);
        EXPECT_EQ(WrittenValue(writes, "1E"), c.std1E);
        EXPECT_EQ(WrittenValue(writes, "1F"), c.std1F);
        const QByteArray block = ModbusBlockBytes(page);
        EXPECT_EQ(block.at(2 * (0x1B - 0x10)), 0);
        EXPECT_EQ(block.at(2 * (0x1B - 0x10) + 1), c.mb1B);
        EXPECT_EQ(block.at(2 * (0x20 - 0x10) + 1), c.mb20);
        EXPECT_EQ(block.at(2 * (0x21 - 0x10) + 1), c.mb21);
    }
}

TEST_P(ParamSetTest, StandardWriteSendsEveryRegisterInOrderWithTheSpeedLast)
{
    TDevice d("01");
    StoreCorrection(CorrectionOf(-300), d);
    TParamTexts page = KnownPage();
    page.rows[ParamRow::Correz] = U("5"); // the record, where validation stored it, is the source
    page.rows[ParamRow::OutputPeriod] = U("не число"); // derived: never written

    QStringList sent;
    for (const auto& w : StandardWrites(page, d))
        sent << QString::fromLatin1(w.Register + "=" + w.Value);
    const QStringList expected{
        "01=1A", "02=01", "03=00", "04=01", "05=01", "06=05", "08=03", "09=00", "0A=E8",
        "0B=03", "0C=50", "0D=C3", "0E=01", "0F=FF", "10=31", "11=02", "12=01", "13=4F",
        "14=C3", "15=21", "16=2C", "17=01", "18=2D", "19=01", "1A=07", "1B=00", "1C=00",
        "1D=10", "1E=01", "1F=07", "20=2C", "21=01", "22=01", "07=04",
    };
    EXPECT_EQ(sent, expected);
}

TEST_P(ParamSetTest, PeriodIsWrittenInTenthsTruncated)
{
    struct Case {
        const char* text; // "," stands for this run's separator
        bool local;
        const char* lo;
        const char* hi;
    };
    const std::vector<Case> cases = {
        {"0,3", true, "03", "00"},    {"0.3", false, "03", "00"},    {"0,3", false, "03", "00"},
        {"6553,5", true, "FF", "FF"}, {"6553.5", false, "FF", "FF"}, {"0,1", true, "01", "00"},
        {"1000", false, "10", "27"},  {"0,15", true, "01", "00"},    {"0,29", true, "02", "00"},
        {"25,6", true, "00", "01"},   {"1e3", false, "10", "27"},
    };
    for (const auto& c : cases) {
        const QString text = c.local ? LocalNumber(c.text) : U(c.text);
        SCOPED_TRACE(text.toStdString());
        TParamTexts page = KnownPage();
        page.rows[ParamRow::Period] = text;
        const TDevice d("01");
        const auto writes = StandardWrites(page, d);
        EXPECT_EQ(WrittenValue(writes, "08"), c.lo);
        EXPECT_EQ(WrittenValue(writes, "09"), c.hi);
        EXPECT_EQ(Hex(ModbusBlockBytes(page).mid(6, 2)), QByteArray(c.hi) + c.lo);
    }
}

TEST_P(ParamSetTest, PickListTextsOutsideTheListGiveTheirDefaults)
{
    struct Case {
        int row;
        const char* text;
        const char* reg;
        const char* value;
    };
    const std::vector<Case> cases = {
        {1, "вкл", "02", "00"}, {2, "Вкл ", "03", "00"},     {3, "", "04", "00"},
        {4, "", "05", "00"},    {5, "чётность", "06", "00"}, {6, "115200 бод", "07", "05"},
        {6, "", "07", "05"},    {6, "9600", "07", "05"},     {17, "", "0E", "00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TParamTexts page = KnownPage();
        page.rows[c.row] = U(c.text);
        const TDevice d("01");
        EXPECT_EQ(WrittenValue(StandardWrites(page, d), c.reg), c.value);
    }
    TParamTexts page = KnownPage();
    page.rows[ParamRow::ByteFormat] = page.rows[ParamRow::Uart] = page.rows[ParamRow::TypeData] = U("?");
    const QByteArray block = ModbusBlockBytes(page);
    EXPECT_EQ(Hex(block.mid(2, 4)), "00000005");
    EXPECT_EQ(Hex(block.mid(12, 2)), "0000");
}

// Nothing that does not fit its registers is wrapped into another value on the wire.
TEST_P(ParamSetTest, NumbersThatDoNotFitTheirRegistersThrow)
{
    struct Case {
        int row;
        const char* text;
    };
    const std::vector<Case> cases = {
        {0, "256"},    {0, "-1"},   {0, ""},    {0, "abc"},   {0, "1 2"},  {0, "99999999999999999999"},
        {8, "65536"},  {10, "1,5"}, {11, "-5"}, {16, "0x10"}, {18, "256"}, {19, "1000"},
        {7, "6553,6"}, {7, "-0,2"}, {7, "1e9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TParamTexts page = KnownPage();
        page.rows[c.row] = U(c.text);
        const TDevice d("01");
        EXPECT_THROW(StandardWrites(page, d), EConvertError);
        EXPECT_THROW(ModbusBlockBytes(page), EConvertError);
    }
    for (const char* text : {"65536", "-65536", "", "x"}) {
        TParamTexts page = KnownPage();
        page.rows[ParamRow::Correz] = U(text);
        EXPECT_THROW(ModbusFlagBytes(page), EConvertError) << text;
        EXPECT_THROW(ModbusBlockBytes(page), EConvertError) << text;
    }
}

TEST_P(ParamSetTest, PeriodThatIsNoNumberRaisesInStandardAndIsZeroInModbus)
{
    for (const char* text : {"", "abc", "1,5.7"}) {
        SCOPED_TRACE(text);
        TParamTexts page = KnownPage();
        page.rows[ParamRow::Period] = U(text);
        const TDevice d("01");
        EXPECT_THROW(StandardWrites(page, d), EConvertError);
        EXPECT_EQ(Hex(ModbusBlockBytes(page).mid(6, 2)), "0000");
    }
}

TEST_P(ParamSetTest, ModbusRegistersOfAKnownPage)
{
    EXPECT_EQ(Hex(ModbusFlagBytes(KnownPage())), Hex(KnownFlags));
    EXPECT_EQ(Hex(ModbusBlockBytes(KnownPage())), Hex(KnownBlock));
}

// Bit 3 is set for a negative correction, as reading takes it.
TEST_P(ParamSetTest, ModbusFlagBits)
{
    struct Case {
        const char* gauge;
        const char* analog;
        const char* thread;
        const char* clocking;
        const char* correz;
        const char* bytes;
    };
    const std::vector<Case> cases = {
        {"Выкл", "Выкл", "Выкл", "по таймеру", "0", "0000"},
        {"Вкл", "Выкл", "Выкл", "по таймеру", "300", "0001"},
        {"Выкл", "Вкл", "Выкл", "по таймеру", "0", "0002"},
        {"Выкл", "Выкл", "Выкл", "по внешнему синхросигналу", "0", "0004"},
        {"Выкл", "Выкл", "Выкл", "по таймеру", "-1", "0008"},
        {"Выкл", "Выкл", "Вкл", "по таймеру", "-0", "0010"},
        {"Вкл", "Вкл", "Вкл", "по внешнему синхросигналу", "-65535", "001F"},
        {"вкл", "", "on", "", "65535", "0000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        TParamTexts page = KnownPage();
        page.rows[1] = U(c.gauge);
        page.rows[2] = U(c.analog);
        page.rows[3] = U(c.thread);
        page.rows[4] = U(c.clocking);
        page.rows[20] = U(c.correz);
        EXPECT_EQ(Hex(ModbusFlagBytes(page)), c.bytes);
    }
}

// The record behind KnownPage: what reading it from the sensor leaves in the record.
void SetKnownRecord(TDevice& d)
{
    d.PAdress = 26;
    d.GaugeOnOff = 1;
    d.ThreadOnOff = 1;
    d.Synhro = 1;
    d.ByteFormat = 5;
    d.Uart = 4;
    d.PeriodLo = 3;
    d.Nt_Hi = 0x03;
    d.Nt_Lo = 0xE8;
    d.TimeHi = 0xC3;
    d.TimeLo = 0x50;
    d.LowLevelAnalogExitHi = 0x01;
    d.LowLevelAnalogExitLo = 0x02;
    d.HighLevelAnalogExitHi = 0xC3;
    d.HighLevelAnalogExitLo = 0x4F;
    d.FirstDiffFirstDiscreetExitHi = 0x01;
    d.FirstDiffFirstDiscreetExitLo = 0x2C;
    d.SecondDiffFirstDiscreetExitHi = 0x01;
    d.SecondDiffFirstDiscreetExitLo = 0x2D;
    d.FirstDiffSecondDiscreetExitLo = 7;
    d.SecondDiffSecondDiscreetExitHi = 0x10;
    d.TypeData = 1;
    d.MiddlePoint = 255;
    d.MedianPoint = 49;
    d.CorrezHi = 0x01;
    d.CorrezLo = 0x2C;
    d.CorrezSign = 1;
    d.DiscreetExit = 0x21;
    d.param_R = 1;
    d.param_OI = 7;
}

TEST_P(ParamSetTest, ARecordShowsThePageThatWritesItBack)
{
    TDevice d("1A");
    SetKnownRecord(d);
    const TParamTexts expected = KnownPage();
    const TParamTexts shown = ParamTextsOf(d);
    for (int row = 0; row < ParamRowCount; ++row)
        EXPECT_EQ(shown.rows[row], expected.rows[row]) << "row " << row;
    EXPECT_EQ(shown.radio1, expected.radio1);
    EXPECT_EQ(shown.radio2, expected.radio2);
    EXPECT_EQ(shown.radio6, expected.radio6);
    EXPECT_EQ(shown.radio5, expected.radio5);
    EXPECT_EQ(Hex(ModbusFlagBytes(shown)), Hex(KnownFlags));
    EXPECT_EQ(Hex(ModbusBlockBytes(shown)), Hex(KnownBlock));
}

TEST_P(ParamSetTest, LineSpeedOfTheUartText)
{
    struct Case {
        const char* text;
        int baud;
    };
    const std::vector<Case> cases = {
        {"9600 бод", 9600},     {"19200 бод", 19200},   {"38400 бод", 38400},   {"57600 бод", 57600},
        {"115200 бод", 115200}, {"230400 бод", 230400}, {"460800 бод", 460800}, {"921600 бод", 921600},
        {"", 115200},           {"9600", 115200},       {"9600 БОД", 115200},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LineSpeedOf(U(c.text)), c.baud) << c.text;
}

TEST_P(ParamSetTest, IntegerTexts)
{
    struct Case {
        const char* text;
        bool ok;
        std::int64_t value;
    };
    const std::vector<Case> cases = {
        {"12", true, 12},  {" 12 ", true, 12},   {"\t7", true, 7},  {"+5", true, 5},
        {"-0", true, 0},   {"-300", true, -300}, {"007", true, 7},  {"", false, 0},
        {" ", false, 0},   {"1 2", false, 0},    {"12a", false, 0}, {"0x1F", false, 0},
        {"1,0", false, 0}, {"1.0", false, 0},    {"--1", false, 0}, {"99999999999999999999", false, 0},
        {"١٢", false, 0},  {"１２", false, 0},   {"$FF", false, 0}, {"1e3", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::int64_t value = -1;
        EXPECT_EQ(ParamInteger(U(c.text), value), c.ok);
        if (c.ok) {
            EXPECT_EQ(value, c.value);
        }
    }
}

} // namespace

// The parameter-set file: what it keeps, and every way a file can be unfit.
#include "LocaleTest.h"
#include "params/ParamSetFile.h"
#include "protocol/DeviceUnit.h"
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace {

// A sensor whose every parameter differs from the factory values.
void FillRecord(TDevice& record)
{
    TParamImage image{};
    const auto set = [&](TParam param, std::uint16_t raw) { image[static_cast<std::size_t>(param)] = raw; };
    set(TParam::Address, 0x1A);
    set(TParam::GaugeOnOff, 1);
    set(TParam::AnalogExit, 0);
    set(TParam::ThreadOnOff, 1);
    set(TParam::Synhro, 1);
    set(TParam::ByteFormat, 5);
    set(TParam::Uart, 5);
    set(TParam::Period, 15);
    set(TParam::Constant, 300);
    set(TParam::Time, 1234);
    set(TParam::TypeData, 1);
    set(TParam::MiddlePoint, 17);
    set(TParam::MedianPoint, 7);
    set(TParam::LowLevelAnalogExit, 100);
    set(TParam::HighLevelAnalogExit, 40000);
    set(TParam::DiscreetExit, 0x21);
    set(TParam::FirstDiffFirstDiscreetExit, 1000);
    set(TParam::SecondDiffFirstDiscreetExit, 2000);
    set(TParam::FirstDiffSecondDiscreetExit, 3000);
    set(TParam::SecondDiffSecondDiscreetExit, 4000);
    set(TParam::ResultComputation, 1);
    set(TParam::ObjectType, 6);
    set(TParam::Correction, 321);
    set(TParam::CorrectionSign, 1);
    StoreImage(image, record);
    record.Model = "VLT-250             ";
    record.SerialNumber = 210341;
    record.ComPortSpeed = 115200;
    record.ID_D = 250.0;
    record.ID_M = 400.0;
}

TParamSet SampleSet(TProtocol protocol)
{
    TDevice record("1A");
    FillRecord(record);
    return ParamSetOf(ParamTextsOf(record), IdentityOf(record, protocol), QStringLiteral("Veltrano test"));
}

class ParamSetFileTest : public LocaleTest {};

TEST_P(ParamSetFileTest, ReadingWhatWasWrittenGivesTheSameSet)
{
    for (const TProtocol protocol : {TProtocol::Standard, TProtocol::Modbus}) {
        const TParamSet set = SampleSet(protocol);
        EXPECT_EQ(set.Page.rows[ParamRow::Period], LocalNumber("1,5"));
        const TParamSetRead read = ParseParamSet(ParamSetJson(set), QStringLiteral("a.json"));
        ASSERT_TRUE(read.Set) << read.Error.toStdString();
        EXPECT_EQ(read.Set->Page.rows, set.Page.rows);
        EXPECT_EQ(std::tie(read.Set->Page.radio1, read.Set->Page.radio2, read.Set->Page.radio6,
                           read.Set->Page.radio5),
                  std::tie(set.Page.radio1, set.Page.radio2, set.Page.radio6, set.Page.radio5));
        EXPECT_EQ(read.Set->Registers, set.Registers);
        EXPECT_EQ(read.Set->Sensor.Model, QStringLiteral("VLT-250"));
        EXPECT_EQ(read.Set->Sensor.Serial, 210341);
        EXPECT_EQ(read.Set->Sensor.Address, 0x1A);
        EXPECT_EQ(read.Set->Sensor.Speed, 115200);
        EXPECT_EQ(read.Set->Sensor.Protocol, protocol);
        EXPECT_EQ(read.Set->Sensor.Range, 250.0);
        EXPECT_EQ(read.Set->Saved, set.Saved);
    }
}

// A file written where the decimal separator is the other one reads as this locale shows it.
TEST_P(ParamSetFileTest, AFileFromTheOtherDecimalLocaleReadsTheSame)
{
    const TParamSet here = SampleSet(TProtocol::Standard);
    QByteArray json = ParamSetJson(here);
    const QString point = QLocale().decimalPoint();
    const QString other = point == QStringLiteral(",") ? QStringLiteral(".") : QStringLiteral(",");
    json.replace(QString(QStringLiteral("\"1") + point + QStringLiteral("5\"")).toUtf8(),
                 QString(QStringLiteral("\"1") + other + QStringLiteral("5\"")).toUtf8());
    const TParamSetRead read = ParseParamSet(json, QStringLiteral("a.json"));
    ASSERT_TRUE(read.Set) << read.Error.toStdString();
    EXPECT_EQ(read.Set->Page.rows, here.Page.rows);
}

INSTANTIATE_LOCALE_SUITE(ParamSetFileTest);

QJsonObject SampleJson()
{
    return QJsonDocument::fromJson(ParamSetJson(SampleSet(TProtocol::Standard))).object();
}

void SetRow(QJsonObject& root, int row, const QJsonValue& text)
{
    QJsonArray rows = root[QStringLiteral("rows")].toArray();
    QJsonObject entry = rows[row].toObject();
    entry[QStringLiteral("text")] = text;
    rows[row] = entry;
    root[QStringLiteral("rows")] = rows;
}

void SetRegister(QJsonObject& root, const char* name, const QJsonValue& value)
{
    QJsonObject registers = root[QStringLiteral("registers")].toObject();
    registers[QLatin1String(name)] = value;
    root[QStringLiteral("registers")] = registers;
}

TEST(ParamSetFileErrors, EveryUnfitFileIsRefusedWithAMessageNamingFileAndPlace)
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const QByteArray good = ParamSetJson(SampleSet(TProtocol::Standard));
    struct Case {
        const char* what;
        std::function<QByteArray()> content;
        const char* message; // a part of the message
        int row;
    };
    const auto edited = [](std::function<void(QJsonObject&)> edit) {
        return [edit] {
            QJsonObject root = SampleJson();
            edit(root);
            return QJsonDocument(root).toJson();
        };
    };
    const Case cases[] = {
        {"not JSON", [] { return QByteArray("Сетевой адрес = 1"); }, "не является файлом параметров датчика",
         -1},
        {"truncated", [&] { return good.left(good.size() / 2); }, "не является файлом параметров датчика",
         -1},
        {"an array", [] { return QByteArray("[1, 2]"); }, "не является файлом параметров датчика", -1},
        {"unknown format", edited([](QJsonObject& r) { r[QStringLiteral("format")] = 2; }),
         "в неизвестном формате 2", -1},
        {"format as text", edited([](QJsonObject& r) { r[QStringLiteral("format")] = QStringLiteral("1"); }),
         "поле \"format\"", -1},
        {"no sensor", edited([](QJsonObject& r) { r.remove(QStringLiteral("sensor")); }), "поле \"sensor\"",
         -1},
        {"row as number", edited([](QJsonObject& r) { SetRow(r, 3, 1); }), "поле \"rows[3]\"", 3},
        {"a row missing", edited([](QJsonObject& r) {
             QJsonArray rows = r[QStringLiteral("rows")].toArray();
             rows.removeLast();
             r[QStringLiteral("rows")] = rows;
         }),
         "поле \"rows\"", -1},
        {"group out of its items", edited([](QJsonObject& r) {
             QJsonObject groups = r[QStringLiteral("groups")].toObject();
             groups[QStringLiteral("objectType")] = 9;
             r[QStringLiteral("groups")] = groups;
         }),
         "поле \"groups.objectType\"", -1},
        {"register above 16 bits", edited([](QJsonObject& r) { SetRegister(r, "Time", 70000); }),
         "поле \"registers.Time\"", -1},
        {"register not whole", edited([](QJsonObject& r) { SetRegister(r, "Time", 1.5); }),
         "поле \"registers.Time\"", -1},
        {"address out of range", edited([](QJsonObject& r) {
             SetRow(r, ParamRow::Address, QStringLiteral("300"));
             SetRegister(r, "Address", 300);
         }),
         "параметр \"Сетевой адрес\": Сетевой адрес должен находиться в диапазоне от 1 до 255!",
         ParamRow::Address},
        {"even median", edited([](QJsonObject& r) {
             SetRow(r, ParamRow::MedianPoint, QStringLiteral("8"));
             SetRegister(r, "MedianPoint", 8);
         }),
         "должно быть нечётным", ParamRow::MedianPoint},
        {"no object type", edited([](QJsonObject& r) {
             QJsonObject groups = r[QStringLiteral("groups")].toObject();
             groups[QStringLiteral("objectType")] = -1;
             r[QStringLiteral("groups")] = groups;
         }),
         "параметр \"Тип объекта\"", -1},
        {"text and register disagree",
         edited([](QJsonObject& r) { SetRow(r, ParamRow::Time, QStringLiteral("99")); }),
         "параметр \"Допустимое время отсутствия результата [мс]\": значение \"99\" не совпадает",
         ParamRow::Time},
        {"group and register disagree", edited([](QJsonObject& r) { SetRegister(r, "ObjectType", 2); }),
         "параметр \"Тип объекта\": значение не совпадает", -1},
        {"a byte register above its byte",
         edited([](QJsonObject& r) { SetRegister(r, "ObjectType", 0x106); }),
         "параметр \"Тип объекта\": значение не совпадает", -1},
    };
    for (const Case& c : cases) {
        const TParamSetRead read = ParseParamSet(c.content(), QStringLiteral("набор.json"));
        EXPECT_FALSE(read.Set) << c.what;
        EXPECT_TRUE(read.Error.startsWith(QStringLiteral("Файл \"набор.json\"")) ||
                    read.Error.startsWith(QStringLiteral("В файле \"набор.json\"")))
            << c.what << ": " << read.Error.toStdString();
        EXPECT_TRUE(read.Error.contains(QString::fromUtf8(c.message)))
            << c.what << ": " << read.Error.toStdString();
        EXPECT_EQ(read.Row, c.row) << c.what;
    }
    QLocale::setDefault(QLocale::c());
}

TEST(ParamSetFileErrors, ASetForAnotherModelIsNamedAsSuch)
{
    const TParamSet set = SampleSet(TProtocol::Standard);
    TSensorIdentity target = set.Sensor;
    EXPECT_TRUE(ModelMismatch(set, QStringLiteral("a.json"), target).isEmpty());
    target.Serial = 5; // another sensor of the same model takes the set
    EXPECT_TRUE(ModelMismatch(set, QStringLiteral("a.json"), target).isEmpty());
    target.Model = QStringLiteral("VLT-1000");
    EXPECT_EQ(
        ModelMismatch(set, QStringLiteral("a.json"), target),
        QStringLiteral("Файл \"a.json\" записан для датчика VLT-250 № 210341, адрес 26, а выбран датчик "
                       "VLT-1000 № 5, адрес 26!"));
}

TEST(ParamSetFileWrite, AFailedWriteLeavesTheOldFileWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("set.json"));
    QString error;
    ASSERT_TRUE(WriteParamSet(SampleSet(TProtocol::Standard), path, &error)) << error.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    ASSERT_TRUE(ReadParamSet(path).Set);

    // A disk that fills up: no file may grow beyond a few bytes.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = old;
    tiny.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const bool written = WriteParamSet(SampleSet(TProtocol::Modbus), path, &error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_TRUE(error.startsWith(QStringLiteral("Не удалось записать файл \"set.json\"")))
        << error.toStdString();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("set.json")})
        << "no leftovers";

    EXPECT_FALSE(WriteParamSet(SampleSet(TProtocol::Modbus), dir.filePath(QStringLiteral("no/such/set.json")),
                               &error));
    const TParamSetRead missing = ReadParamSet(dir.filePath(QStringLiteral("missing.json")));
    EXPECT_TRUE(missing.Error.startsWith(QStringLiteral("Не удалось открыть файл \"missing.json\"")));
}

} // namespace

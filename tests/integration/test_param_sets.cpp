// Parameter sets on the real parameters page: saved to a file and loaded back through the file
// dialog, refused files, and the write that reads itself back.
#include "ParamsFixture.h"
#include "bus/SensorBus.h"
#include "pages/CloneDialog.h"
#include "params/ParamHistory.h"
#include "protocol/DeviceUnit.h"
#include "sim/SimRegisters.h"
#include "support/ModalBoxCloser.h"
#include "widgets/RadioGroup.h"
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <array>
#include <functional>

namespace {

// Answers the next file dialog with path, as the user types it and presses the dialog's button.
class FileDialogAnswer {
  public:
    explicit FileDialogAnswer(QString path) : path_(std::move(path))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* const dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            timer_.stop();
            // Typed into the name box, as the box with the focus keeps its text against selectFile().
            if (auto* const name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                name->setText(path_);
            else
                dialog->selectFile(path_);
            static_cast<QDialog*>(dialog)->accept();
        });
        timer_.start(10);
    }

  private:
    QString path_;
    QTimer timer_;
};

class ParamSetPageTest : public ParamsBusTest {
  protected:
    QString FilePath(const char* name) const { return QDir(work.path()).filePath(QString::fromUtf8(name)); }
    void Save(const QString& path)
    {
        FileDialogAnswer answer(path);
        form->TabSheet5->Action_SaveSet->trigger();
    }
    void Load(const QString& path)
    {
        FileDialogAnswer answer(path);
        form->TabSheet5->Action_LoadSet->trigger();
    }
    bool Marked(int row) const
    {
        return form->TabSheet5->KGrid1->item(row, 1)->background().color() != QColor() &&
               form->TabSheet5->KGrid1->item(row, 1)->background().style() != Qt::NoBrush;
    }
    std::vector<int> MarkedRows() const
    {
        std::vector<int> rows;
        for (int row = 0; row < ParamRowCount; ++row)
            if (Marked(row))
                rows.push_back(row);
        return rows;
    }
};

// What is saved comes back exactly, in either protocol and either decimal separator, and only
// onto the page: nothing is sent.
TEST_F(ParamSetPageTest, ASavedSetLoadsBackOntoThePageAndSendsNothing)
{
    ModalBoxCloser closer;
    for (const bool modbus : {false, true}) {
        for (const QLocale& locale : {QLocale(QLocale::Russian, QLocale::Russia), QLocale::c()}) {
            SCOPED_TRACE(testing::Message()
                         << (modbus ? "Modbus " : "standard ") << locale.name().toStdString());
            QLocale::setDefault(locale);
            if (modbus && form->Bus().Protocol() != TProtocol::Modbus)
                SelectModbus();
            ASSERT_TRUE(Read());
            SetCell(ParamRow::Period, QStringLiteral("2") + locale.decimalPoint() + QStringLiteral("5"));
            SetCell(ParamRow::Time, QStringLiteral("4321"));
            form->TabSheet5->RadioGroup5->SetItemIndex(6);
            TParamTexts saved = Page();
            // The set keeps the period of output as the registers give it: 2,5 ms x 100.
            ASSERT_EQ(Cell(ParamRow::Constant), QStringLiteral("100"));
            saved.rows[ParamRow::OutputPeriod] =
                QStringLiteral("250") + locale.decimalPoint() + QStringLiteral("0");
            const QString path =
                QDir(work.path())
                    .filePath(
                        QStringLiteral("%1-%2.json").arg(modbus ? "modbus" : "standard", locale.name()));
            Save(path);
            ASSERT_TRUE(QFile::exists(path));
            EXPECT_EQ(form->StatusText(1), QStringLiteral("Параметры сохранены в файл"));

            ASSERT_TRUE(Read()); // the sensor's own values back on the page
            ASSERT_NE(RowsOf(Page()), RowsOf(saved));
            bus.clearLog();
            Load(path);
            EXPECT_EQ(form->StatusText(1), QStringLiteral("Параметры загружены из файла"));
            EXPECT_EQ(RowsOf(Page()), RowsOf(saved));
            EXPECT_EQ(Page().radio5, 6);
            EXPECT_TRUE(Heard().empty());
        }
    }
    EXPECT_TRUE(closer.Texts().isEmpty()) << closer.Texts().join(QLatin1Char('|')).toStdString();
}

// A file for another model, or with a value the page refuses, is named with its row; the page
// keeps what it showed.
TEST_F(ParamSetPageTest, ARefusedFileLeavesThePageAsItWas)
{
    ASSERT_TRUE(Read());
    const QString path = FilePath("set.json");
    Save(path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject good = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    const auto writeEdited = [&](const char* name, const std::function<void(QJsonObject&)>& edit) {
        QJsonObject root = good;
        edit(root);
        QFile out(FilePath(name));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QJsonDocument(root).toJson());
        return out.fileName();
    };
    const QString otherModel = writeEdited("other.json", [](QJsonObject& root) {
        QJsonObject identity = root[QStringLiteral("sensor")].toObject();
        identity[QStringLiteral("model")] = QStringLiteral("VLT-9000");
        root[QStringLiteral("sensor")] = identity;
    });
    const QString badValue = writeEdited("bad.json", [](QJsonObject& root) {
        QJsonArray rows = root[QStringLiteral("rows")].toArray();
        QJsonObject row = rows[ParamRow::MiddlePoint].toObject();
        row[QStringLiteral("text")] = QStringLiteral("300");
        rows[ParamRow::MiddlePoint] = row;
        root[QStringLiteral("rows")] = rows;
    });
    // The record is identified as the model the file names only for the model check.
    form->Bus().Devices().At(0)->Model = "VLT";
    SetCell(ParamRow::Time, QStringLiteral("777"));
    const TParamTexts before = Page();
    ModalBoxCloser closer;
    Load(otherModel);
    Load(badValue);
    ASSERT_TRUE(WaitFor([&] { return closer.Texts().size() == 2; }));
    EXPECT_EQ(closer.Texts()[0],
              QStringLiteral("Файл \"other.json\" записан для датчика VLT-9000 № 0, адрес 26, "
                             "а выбран датчик VLT № 0, адрес 26!"));
    EXPECT_EQ(closer.Texts()[1],
              QStringLiteral("Файл \"bad.json\", параметр \"Количество точек усреднения\": Количество точек "
                             "усреднения должно находиться в диапазоне от 1 до 255!"));
    EXPECT_EQ(form->TabSheet5->KGrid1->currentRow(), ParamRow::MiddlePoint);
    EXPECT_EQ(RowsOf(Page()), RowsOf(before));
}

// The write reads itself back: all equal is a success with a note; a register the sensor did
// not take is a failure that names and marks exactly its row.
TEST_F(ParamSetPageTest, AVerifiedWriteMarksExactlyTheRowTheSensorDidNotTake)
{
    for (const bool modbus : {false, true}) {
        SCOPED_TRACE(modbus ? "Modbus" : "standard");
        if (modbus)
            SelectModbus();
        bus.setFaults(sensor, SimFaults{});
        form->TabSheet5->CheckBox_VerifyWrite->setChecked(true);
        ASSERT_TRUE(Read());
        SetCell(ParamRow::MiddlePoint, QStringLiteral("21"));
        ASSERT_TRUE(Write());
        EXPECT_EQ(form->StatusText(0), QStringLiteral("Запись проверена чтением"));
        EXPECT_TRUE(MarkedRows().empty());

        SimFaults worn;
        worn.stuckRegister = SimReg::AveragePoints;
        bus.setFaults(sensor, worn);
        SetCell(ParamRow::MiddlePoint, QStringLiteral("33"));
        SetCell(ParamRow::Time, QStringLiteral("999"));
        ModalBoxCloser closer;
        form->TabSheet5->Button4->click();
        ASSERT_TRUE(WaitFor([&] { return !closer.Texts().isEmpty(); }, 5000));
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(form->StatusText(1), QStringLiteral("Запись не подтверждена"));
        EXPECT_EQ(
            closer.Texts().constFirst(),
            QStringLiteral("Параметры, прочитанные из датчика после записи, отличаются от записанных:\n\n"
                           "Количество точек усреднения: записано \"33\", прочитано \"21\""));
        EXPECT_EQ(MarkedRows(), std::vector<int>{ParamRow::MiddlePoint});
        EXPECT_EQ(form->TabSheet5->KGrid1->item(ParamRow::MiddlePoint, 1)->toolTip(),
                  QStringLiteral("Прочитано из датчика: 21"));
        EXPECT_EQ(bus.registers(sensor).get(SimReg::AveragePoints), 21);
    }
}

// Runs drive on the next modal dialog of type Dialog once it shows, inside its event loop.
template <class Dialog> class ModalDriver {
  public:
    explicit ModalDriver(std::function<void(Dialog&)> drive) : drive_(std::move(drive))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* const dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            timer_.stop();
            drive_(*dialog);
            driven = true;
        });
        timer_.start(10);
    }
    bool driven = false;

  private:
    std::function<void(Dialog&)> drive_;
    QTimer timer_;
};

// The page against the sensor, a file and another sensor: exactly the rows that differ are marked,
// each with the other value, and nothing is written.
TEST_F(ParamSetPageTest, AComparisonMarksExactlyTheRowsThatDiffer)
{
    ASSERT_TRUE(Read());
    const QString time = Cell(ParamRow::Time);
    const QString path = FilePath("compare.json");
    Save(path);
    SetCell(ParamRow::Time, QStringLiteral("4321"));
    bus.clearLog();
    form->TabSheet5->Action_CompareSensor->trigger();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1).startsWith(QStringLiteral("Сравнение")); }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(form->StatusText(1), QStringLiteral("Сравнение: отличаются 1"));
    EXPECT_EQ(MarkedRows(), std::vector<int>{ParamRow::Time});
    EXPECT_EQ(form->TabSheet5->KGrid1->item(ParamRow::Time, 1)->toolTip(),
              QStringLiteral("В датчике: ") + time);
    EXPECT_EQ(Cell(ParamRow::Time), QStringLiteral("4321")) << "the page keeps what it shows";
    for (const QByteArray& frame : Heard())
        EXPECT_FALSE(frame.contains('W')) << frame.constData();

    SetCell(ParamRow::Time, time);
    SetCell(ParamRow::MedianPoint, QStringLiteral("9"));
    FileDialogAnswer answer(path);
    form->TabSheet5->Action_CompareFile->trigger();
    EXPECT_EQ(MarkedRows(), std::vector<int>{ParamRow::MedianPoint});
    EXPECT_EQ(form->TabSheet5->KGrid1->item(ParamRow::MedianPoint, 1)->toolTip(),
              QStringLiteral("В файле: 5"));

    // A second sensor at the same speed whose averaging differs.
    const int other = bus.addSensor([] {
        SimSensorConfig config;
        config.address = 0x1B;
        config.speed = LineSpeed;
        return config;
    }());
    ASSERT_GE(other, 0);
    bus.setRegister(other, SimReg::AveragePoints, 77);
    ASSERT_NE(form->Bus().Devices().Append("1B", LineSpeed), nullptr);
    ModalDriver<QInputDialog> choose([](QInputDialog& dialog) {
        dialog.setTextValue(dialog.comboBoxItems().constFirst());
        dialog.accept();
    });
    form->TabSheet5->Action_CompareOther->trigger();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1).startsWith(QStringLiteral("Сравнение")); }, 5000));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(MarkedRows(), (std::vector<int>{ParamRow::Address, ParamRow::MiddlePoint}));
    EXPECT_EQ(form->TabSheet5->KGrid1->item(ParamRow::MiddlePoint, 1)->toolTip(),
              QStringLiteral("В датчике 27: 77"));
    EXPECT_EQ(Cell(ParamRow::MedianPoint), QStringLiteral("5")) << "the page shows the chosen sensor";
}

// The page's set onto three sensors: each takes it and keeps its address, and the report says so
// and can be saved.
TEST_F(ParamSetPageTest, ACloneSetsThreeSensorsAndKeepsTheirAddresses)
{
    QDir(TParamHistory::DefaultRoot()).removeRecursively();
    ASSERT_TRUE(Read());
    for (const int address : {0x1B, 0x1C}) {
        SimSensorConfig config;
        config.address = address;
        config.speed = address == 0x1B ? 9600 : LineSpeed;
        ASSERT_GE(bus.addSensor(config), 0);
        ASSERT_NE(form->Bus().Devices().Append(QByteArray::number(address, 16).toUpper(), config.speed),
                  nullptr);
    }
    SetCell(ParamRow::MiddlePoint, QStringLiteral("42"));
    const QString report = FilePath("report.txt");
    QStringList lines;
    ModalDriver<TCloneDialog> drive([&](TCloneDialog& dialog) {
        ASSERT_EQ(dialog.CloneSensors->count(), 3);
        for (int row = 0; row < 3; ++row)
            dialog.CloneSensors->item(row)->setCheckState(Qt::Checked);
        dialog.Button_CloneStart->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Button_CloneSave->isEnabled(); }, 15000));
        lines = dialog.ReportLines();
        FileDialogAnswer answer(report);
        dialog.Button_CloneSave->click();
        dialog.Button_CloneClose->click();
    });
    form->TabSheet5->Action_Clone->trigger();
    ASSERT_TRUE(drive.driven);
    ASSERT_EQ(lines.size(), 4);
    for (int line = 1; line <= 3; ++line)
        EXPECT_TRUE(lines[line].contains(QStringLiteral("\tзаписан и проверен\t")))
            << lines[line].toStdString();
    EXPECT_EQ(form->StatusText(1), QStringLiteral("Клонирование завершено: 3 из 3"));
    const std::array<int, 3> addresses{0x1A, 0x1B, 0x1C};
    for (int index = 0; index < 3; ++index) {
        EXPECT_EQ(bus.registers(index).get(SimReg::AveragePoints), 42);
        EXPECT_EQ(bus.status(index).address, addresses[static_cast<std::size_t>(index)]);
    }
    EXPECT_EQ(bus.status(1).speed, 9600);
    // Each sensor keeps the set in its history.
    const TParamHistory history(TParamHistory::DefaultRoot(), 100);
    for (int index = 0; index < 3; ++index) {
        const std::vector<TParamHistory::TEntry> entries =
            history.Entries(IdentityOf(*form->Bus().Devices().At(index), form->Bus().Protocol()));
        ASSERT_FALSE(entries.empty()) << index;
        EXPECT_EQ(entries.front().Event, TParamHistory::TEvent::Write);
        const TParamSetRead kept = ReadParamSet(entries.front().Path);
        ASSERT_TRUE(kept.Set);
        EXPECT_EQ(kept.Set->Page.rows[ParamRow::MiddlePoint], QStringLiteral("42"));
    }
    QFile saved(report);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(saved.readAll()),
              lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));

    // Addresses in a row from one the user picks; one that another sensor holds is refused first.
    ModalBoxCloser closer;
    ModalDriver<TCloneDialog> renumber([&](TCloneDialog& dialog) {
        for (int row = 0; row < 2; ++row)
            dialog.CloneSensors->item(row)->setCheckState(Qt::Checked);
        dialog.CheckBox_CloneAddresses->setChecked(true);
        dialog.ComboBox_CloneSpeed->setCurrentText(QStringLiteral("115200 бод"));
        dialog.SpinBox_CloneFirstAddress->setValue(0x1B); // the second would take 28, held by the third
        dialog.Button_CloneStart->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return closer.Texts().size() == 1; }));
        dialog.SpinBox_CloneFirstAddress->setValue(40);
        dialog.Button_CloneStart->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Button_CloneSave->isEnabled(); }, 15000));
        dialog.Button_CloneClose->click();
    });
    ASSERT_TRUE(WaitIdle());
    form->TabSheet5->Action_Clone->trigger();
    ASSERT_TRUE(renumber.driven);
    EXPECT_EQ(closer.Texts().constFirst(),
              QStringLiteral("Два датчика получили бы адрес 28 на скорости 115200 бод."));
    EXPECT_EQ(bus.status(0).address, 40);
    EXPECT_EQ(bus.status(1).address, 41);
    EXPECT_EQ(bus.status(1).speed, LineSpeed);
    EXPECT_EQ(bus.status(2).address, 0x1C);
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("40"));
}

// Reads and writes are kept by themselves; "restore previous" puts back the set the last write
// replaced, onto the page only.
TEST_F(ParamSetPageTest, TheHistoryRestoresTheSetBeforeTheLastWrite)
{
    // The data folder is this run's own; earlier tests of the run have kept sets in it.
    QDir(TParamHistory::DefaultRoot()).removeRecursively();
    ModalBoxCloser closer;
    form->TabSheet5->Action_RestorePrevious->trigger();
    ASSERT_TRUE(WaitFor([&] { return closer.Texts().size() == 1; }));
    EXPECT_EQ(closer.Texts()[0],
              QStringLiteral("Для выбранного датчика нет параметров до последней записи."));

    ASSERT_TRUE(Read());
    const TParamTexts before = Page();
    SetCell(ParamRow::Time, QStringLiteral("2468"));
    ASSERT_TRUE(Write());
    const TParamHistory history(TParamHistory::DefaultRoot(), 100);
    const std::vector<TParamHistory::TEntry> entries =
        history.Entries(IdentityOf(*record, form->Bus().Protocol()));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Event, TParamHistory::TEvent::Write);
    EXPECT_EQ(entries[1].Event, TParamHistory::TEvent::Read);

    bus.clearLog();
    form->TabSheet5->Action_RestorePrevious->trigger();
    EXPECT_EQ(RowsOf(Page()), RowsOf(before));
    EXPECT_TRUE(form->StatusText(1).startsWith(QStringLiteral("Загружены параметры от ")));
    EXPECT_TRUE(Heard().empty());

    ModalDriver<QInputDialog> limit([](QInputDialog& dialog) {
        dialog.setIntValue(1);
        dialog.accept();
    });
    form->TabSheet5->Action_HistoryLimit->trigger();
    ASSERT_TRUE(Read());
    EXPECT_EQ(history.Entries(IdentityOf(*record, form->Bus().Protocol())).size(), 1u);
    EXPECT_EQ(TSettings(SettingsPaths{work.path(), program.path()}).HistoryLimit(), 1);
}

TEST_F(ParamSetPageTest, TheVerificationChoiceIsKept)
{
    QCheckBox& verify = *form->TabSheet5->CheckBox_VerifyWrite;
    verify.setChecked(true);
    verify.click();
    EXPECT_FALSE(verify.isChecked());
    auto again = std::make_unique<TForm1>(nullptr, SettingsPaths{work.path(), program.path()});
    EXPECT_FALSE(again->TabSheet5->CheckBox_VerifyWrite->isChecked());
    verify.click();
    auto third = std::make_unique<TForm1>(nullptr, SettingsPaths{work.path(), program.path()});
    EXPECT_TRUE(third->TabSheet5->CheckBox_VerifyWrite->isChecked());
}

} // namespace

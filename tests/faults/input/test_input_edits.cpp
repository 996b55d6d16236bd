// Bad text in the edit boxes outside the grid, in both locales: the search delay and bound, the
// port box, the recording interval and the two marker levels.
#include "BusFormFixture.h"
#include "InputFixture.h"
#include "bus/SensorBus.h"
#include "pages/StreamChart.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "sim/SimRegisters.h"
#include "widgets/ProgressBar.h"
#include "widgets/RadioGroup.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <qcustomplot.h>

namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

class EditInputTest : public BusFormTest, public ::testing::WithParamInterface<QLocale::Language> {
  protected:
    void SetUp() override
    {
        BusFormTest::SetUp();
        QLocale::setDefault(LocaleOf(GetParam()));
        form->activateWindow();
    }
    QString Stored(const QString& section, const QString& key) const
    {
        IniFile ini(SettingsPaths{work.path(), program.path()}.WorkingFile());
        ini.Load();
        return ini.ReadString(section, key, QStringLiteral("<missing>"));
    }
};
INSTANTIATE_INPUT_LOCALES(EditInputTest);

TEST_P(EditInputTest, SearchDelayAndBoundRefuseBadTextBeforeAnythingIsSent)
{
    const QString delayWhole = U("Задержка при поиске должна быть целым числом миллисекунд.");
    const QString boundRange = U("Верхняя граница поиска должна быть целым числом от 2 до 255.");
    struct Case {
        QLineEdit* TSearchPage::*box;
        const char* typed;
        const char* shown; // the box's text: the bound takes three characters, the delay nine
        QString message;
    };
    const Case cases[] = {
        {&TSearchPage::Edit1, "", "", delayWhole},
        {&TSearchPage::Edit1, "   ", "   ", delayWhole},
        {&TSearchPage::Edit1, "abc", "abc", delayWhole},
        {&TSearchPage::Edit1, "99999999999999999999", "999999999",
         U("Задержка при поиске не может быть больше 60000 мс.")},
        {&TSearchPage::Edit1, "-1", "-1", U("Задержка при поиске должна быть больше нуля.")},
        {&TSearchPage::Edit1, "0", "0", U("Задержка при поиске должна быть больше нуля.")},
        {&TSearchPage::Edit1, "1,5", "1,5", delayWhole},
        {&TSearchPage::Edit1, "1.5", "1.5", delayWhole},
        {&TSearchPage::Edit2, "", "", boundRange},
        {&TSearchPage::Edit2, "   ", "   ", boundRange},
        {&TSearchPage::Edit2, "abc", "abc", boundRange},
        {&TSearchPage::Edit2, "99999999999999999999", "999", boundRange},
        {&TSearchPage::Edit2, "-1", "-1", boundRange},
        {&TSearchPage::Edit2, "1", "1", boundRange},
        {&TSearchPage::Edit2, "1,5", "1,5", boundRange},
        {&TSearchPage::Edit2, "1.5", "1.5", boundRange},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        QLineEdit* const box = form->TabSheet1->*c.box;
        QLineEdit* const other =
            box == form->TabSheet1->Edit1 ? form->TabSheet1->Edit2 : form->TabSheet1->Edit1;
        other->setText(box == form->TabSheet1->Edit1 ? QStringLiteral("3") : QStringLiteral("20"));
        TypeInto(box, U(c.typed));
        EXPECT_EQ(box->text(), U(c.shown));
        // Kept as typed, number or not: the check comes when the search starts. The settings
        // file keeps no blanks around a value.
        EXPECT_EQ(Stored(settings::MainForm,
                         box == form->TabSheet1->Edit1 ? settings::DelayOfFind : settings::RangeOfFind),
                  U(c.shown).trimmed());
        bus.clearLog();
        ModalCloser closer(form.get());
        form->TabSheet1->Button5->click();
        ASSERT_EQ(closer.seen().size(), 1u);
        EXPECT_EQ(closer.seen()[0].caption, U("Параметры поиска"));
        EXPECT_EQ(closer.seen()[0].text, c.message);
        EXPECT_EQ(form->focusWidget(), box) << "the refused box has the focus";
        QTest::qWait(20);
        EXPECT_TRUE(Heard().empty());
        // Nothing of the last search is undone by a search that never started.
        EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("26"));
        EXPECT_TRUE(form->TabSheet1->Button5->isEnabled());
        EXPECT_TRUE(form->TabSheet5->isEnabled());
        EXPECT_FALSE(form->Bus().ReceivePath().Searching());
    }
}

TEST_P(EditInputTest, PortBoxTextThatNamesNoPortEndsTheSearchWithItsStatus)
{
    // The window's own port is closed by a search: the bus is listened to on the pty alone.
    const char* const texts[] = {"", "   ", "abc", "99999999999999999999", "-1", "COM0", "COM1,5", "COM1.5"};
    form->TabSheet1->Edit1->setText(QStringLiteral("20"));
    form->TabSheet1->Edit2->setText(QStringLiteral("3"));
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        TypeInto(form->ComboBox2->lineEdit(), U(text));
        EXPECT_EQ(Stored(settings::MainForm, settings::ComPort), U(text).trimmed());
        ModalCloser closer(form.get());
        form->TabSheet1->Button5->click();
        ASSERT_TRUE(WaitFor([&] { return form->TabSheet1->Button5->isEnabled(); }, 5000));
        EXPECT_EQ(form->StatusText(1), U("Поиск завершён: ошибка поиска"));
        EXPECT_TRUE(closer.seen().empty());
        EXPECT_FALSE(form->QProgressBar1->isVisible());
        EXPECT_TRUE(form->ComboBox2->isEnabled());
        EXPECT_TRUE(form->RadioGroup_protocol_obm->isEnabled());
        ASSERT_TRUE(WaitIdle());
    }
}

// The sensor streams a result every millisecond, and the interval reads the same in either
// locale: a whole number or nothing.
using RecordIntervalTest = BusFormTest;
TEST_F(RecordIntervalTest, RecordingIntervalThatIsNoPositiveWholeNumberRecordsAtTheDefault)
{
    struct Case {
        const char* typed;
        int interval;
    };
    const Case cases[] = {
        {"", 100},   {"   ", 100}, {"abc", 100}, {"99999999999999999999", 100},
        {"-1", 100}, {"0", 100},   {"1,5", 100}, {"1.5", 100},
        {" 7 ", 7},  {"3", 3},
    };
    bus.setRegister(sensor, SimReg::ConstantLo, 1);
    bus.setMeasurement(sensor, SimMeasureMode::Counter, 1000);
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    form->TabSheet2->Button6->click();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == U("Поток запущен"); }));
    ASSERT_TRUE(WaitIdle());
    const QString thread = QDir(program.path()).filePath(QStringLiteral("Thread.txt"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        TypeInto(form->TabSheet2->LabeledEdit_RecordThrd, U(c.typed));
        EXPECT_EQ(form->TabSheet2->LabeledEdit_RecordThrd->text(), U(c.typed).left(10));
        form->TabSheet2->CheckBox_RecordThrd->click();
        ASSERT_TRUE(form->TabSheet2->CheckBox_RecordThrd->isChecked());
        EXPECT_EQ(form->TabSheet2->StreamChart().Sampler().RecordInterval(), c.interval);
        const auto from = form->TabSheet2->StreamChart().Count();
        ASSERT_TRUE(
            WaitFor([&] { return form->TabSheet2->StreamChart().Count() > from + c.interval + 20; }, 15000));
        ModalCloser closer(form.get());
        form->TabSheet2->CheckBox_RecordThrd->click();
        EXPECT_TRUE(closer.seen().empty());
        EXPECT_GE(FileBytes(thread).count('\n'), 1) << "every recording reaches Thread.txt";
    }
    form->TabSheet2->Button7->click();
    ASSERT_TRUE(WaitFor([&] { return form->StatusText(1) == U("Поток остановлен"); }, 6000));
    ASSERT_TRUE(WaitIdle());
}

TEST_P(EditInputTest, MarkerLevelThatIsNoNumberRemovesTheMarkerAndKeepsTheStoredLevel)
{
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    form->TabSheet2->CheckBox2->click();
    ASSERT_TRUE(form->TabSheet2->Edit4->isVisible());
    struct Case {
        const char* typed;
        const char* shown; // a typed "." becomes ","
        bool drawn;
        double level;
        const char* stored; // when not drawn: a level kept from a key before the last one
    };
    const Case cases[] = {
        {"12", "12", true, 12, nullptr},
        {"", "", false, 0, nullptr},
        {"   ", "   ", false, 0, nullptr},
        {"abc", "abc", false, 0, nullptr},
        {"99999999999999999999", "99999999999999999999", true, 1e20, nullptr},
        {"-1", "-1", true, -1, nullptr},
        {"1,5", "1,5", true, 1.5, nullptr},
        {"1.5", "1,5", true, 1.5, nullptr},
        {"-", "-", false, 0, nullptr},
        {"1e999", "1e999", false, 0, "1e99"},
        {"inf", "inf", false, 0, nullptr},
        {"nan", "nan", false, 0, nullptr},
    };
    for (QLineEdit* const edit : {form->TabSheet2->Edit4, form->TabSheet2->Edit5}) {
        QCPGraph* const series =
            edit == form->TabSheet2->Edit4 ? form->TabSheet2->Series2 : form->TabSheet2->Series3;
        const QString key = edit == form->TabSheet2->Edit4 ? settings::Blue : settings::Green;
        QString stored = QStringLiteral("<missing>");
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << key.toStdString() << " " << c.typed);
            TypeInto(edit, U(c.typed));
            EXPECT_EQ(edit->text(), U(c.shown));
            if (c.drawn) {
                stored = U(c.shown);
                ASSERT_EQ(series->dataCount(), 2);
                EXPECT_DOUBLE_EQ(series->data()->at(1)->value, c.level);
            } else {
                EXPECT_EQ(series->dataCount(), 0);
                if (c.stored)
                    stored = U(c.stored);
            }
            EXPECT_EQ(Stored(settings::Metki, key), stored);
            form->TabSheet2->Chart1->replot(QCustomPlot::rpImmediateRefresh);
        }
    }
}

} // namespace

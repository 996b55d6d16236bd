// Bad text typed into every editable cell of the parameter grid, in both locales: the write is
// refused with the row's own message and the sensor hears nothing, or the text is a valid value
// and the sensor holds exactly that value afterwards.
#include "InputFixture.h"
#include "ParamsFixture.h"
#include "convert/Unit_Utils.h"
#include "params/ParamSet.h"
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <map>

namespace {

// What each row's refusal names, so that a message of the wrong row is caught.
const std::map<int, const char*>& RowSubjects()
{
    static const std::map<int, const char*> subjects{
        {0, "Сетевой адрес"},
        {1, "Состояние датчика при подаче питания"},
        {2, "Аналоговый выход"},
        {3, "Выдача в потоке при вкл. питания"},
        {4, "Тактирование"},
        {5, "Формат байта"},
        {6, "Скорость UART"},
        {7, "Период измерения датчика"},
        {8, "Константа, задающая период выдачи данных"},
        {10, "Допустимое время отсутствия сигнала"},
        {11, "Нижняя граница аналогового выхода"},
        {12, "Верхняя граница аналогового выхода"},
        {13, "Первый перепад первого дискретного выхода"},
        {14, "Второй перепад первого дискретного выхода"},
        {15, "Первый перепад второго дискретного выхода"},
        {16, "Второй перепад второго дискретного выхода"},
        {17, "Тип предварительной фильтрации"},
        {18, "Количество точек усреднения"},
        {19, "Количество точек медианного фильтра"},
        {20, "Коррекции выводимого результата"},
    };
    return subjects;
}

// The typed texts a row takes as a value: a period in either decimal form, a negative correction.
bool Valid(int row, const QString& text)
{
    if (row == ParamRow::Period)
        return text == QStringLiteral("1,5") || text == QStringLiteral("1.5");
    if (row == ParamRow::Correz)
        return text == QStringLiteral("-1");
    return false;
}

class GridInputTest : public ParamsBusTest, public ::testing::WithParamInterface<QLocale::Language> {
  protected:
    void SetUp() override
    {
        ParamsBusTest::SetUp();
        QLocale::setDefault(LocaleOf(GetParam()));
        form->PageControl1->setCurrentWidget(form->TabSheet5);
        form->activateWindow();
        ASSERT_TRUE(Read());
    }

    // Types text into the row's own in-cell editor and takes it with Enter, as the user does.
    void TypeIntoCell(int row, const QString& text)
    {
        QTableWidget& grid = *form->TabSheet5->KGrid1;
        grid.setFocus();
        grid.setCurrentCell(-1, -1);
        grid.setCurrentCell(row, 1);
        QWidget* const editor = grid.indexWidget(grid.model()->index(row, 1));
        ASSERT_NE(editor, nullptr) << "row " << row << " opens no editor";
        auto* const combo = qobject_cast<QComboBox*>(editor);
        QLineEdit* const edit = combo ? combo->lineEdit() : qobject_cast<QLineEdit*>(editor);
        ASSERT_NE(edit, nullptr);
        TypeInto(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
        ASSERT_EQ(Cell(row), text) << "the cell keeps the text as typed";
    }
};
INSTANTIATE_INPUT_LOCALES(GridInputTest);

TEST_P(GridInputTest, EveryEditableCellRefusesBadTextWithItsMessageAndSendsNothing)
{
    const TParamTexts read = Page();
    const std::vector<int> registers = RegistersOf(bus, sensor);
    for (const auto& [row, subject] : RowSubjects()) {
        for (const TypedText& typed : TypedTexts()) {
            if (Valid(row, typed.text))
                continue;
            SCOPED_TRACE(testing::Message() << "row " << row << ", " << typed.name);
            TypeIntoCell(row, typed.text);
            bus.clearLog();
            {
                ModalCloser closer(form.get());
                // The check runs and its box is shown and closed before the click returns.
                form->TabSheet5->Button4->click();
                ASSERT_EQ(closer.seen().size(), 1u);
                EXPECT_EQ(closer.seen()[0].caption, QStringLiteral("Ошибка"));
                EXPECT_TRUE(closer.seen()[0].text.contains(QString::fromUtf8(subject)))
                    << closer.seen()[0].text.toStdString();
            }
            EXPECT_EQ(form->TabSheet5->KGrid1->currentRow(), row) << "the refused cell is the current one";
            EXPECT_TRUE(Heard().empty());
            EXPECT_TRUE(form->PageControl1->isEnabled()) << "a refused write leaves the window usable";
            EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("26"));
            // The closing editor gives its text back to the cell; the page is restored after it.
            form->TabSheet5->KGrid1->setCurrentCell(-1, -1);
            SetCell(row, read.rows[static_cast<std::size_t>(row)]);
        }
    }
    EXPECT_EQ(RegistersOf(bus, sensor), registers);
    EXPECT_EQ(RowsOf(Page()), RowsOf(read));
}

// A period in the other locale's decimal form and a negative correction are values, not errors:
// written, they read back as typed.
TEST_P(GridInputTest, ValidTextsOfEitherDecimalFormAreWrittenAsTyped)
{
    const bool comma = QLocale().decimalPoint() == QStringLiteral(",");
    TypeIntoCell(ParamRow::Period, comma ? QStringLiteral(" 2.5 ") : QStringLiteral(" 2,5 "));
    TypeIntoCell(ParamRow::Correz, QStringLiteral("-1"));
    ModalCloser closer(form.get());
    ASSERT_TRUE(Write());
    EXPECT_TRUE(closer.seen().empty());
    form->TabSheet5->KGrid1->setCurrentCell(-1, -1);
    SetCell(ParamRow::Period, QString());
    SetCell(ParamRow::Correz, QString());
    ASSERT_TRUE(Read());
    bool ok = false;
    EXPECT_DOUBLE_EQ(TryStrToFloatDotComma(Cell(ParamRow::Period), ok), 2.5)
        << Cell(ParamRow::Period).toStdString();
    EXPECT_TRUE(ok);
    EXPECT_EQ(Cell(ParamRow::Correz), QStringLiteral("-1"));
}

} // namespace

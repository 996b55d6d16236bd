#include "FormFixture.h"
#include "app/Overlay.h"
#include "bus/SensorBus.h"
#include "settings/Settings.h"
#include "widgets/RadioGroup.h"
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

namespace {

QRect StreamPageRect(const TForm1& form)
{
    return {form.TabSheet2->mapTo(&form, QPoint(0, 0)), form.TabSheet2->size()};
}

void Choose(TForm1& form, int item)
{
    QRadioButton* button = form.RadioGroup_protocol_obm->Button(item);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    ASSERT_EQ(form.RadioGroup_protocol_obm->ItemIndex(), item);
}

TEST_F(FormTest, CoverIsShownExactlyWhileModbusAndTheStreamPageAreChosen)
{
    auto form = MakeForm();
    ShowAndWait(*form);
    Tsplash* cover = form->splash;
    ASSERT_NE(cover, nullptr);

    form->PageControl1->setCurrentWidget(form->TabSheet2);
    EXPECT_FALSE(cover->isVisible());

    Choose(*form, 1);
    EXPECT_EQ(form->Bus().Protocol(), TProtocol::Modbus);
    EXPECT_FALSE(form->TabSheet2->isEnabled());
    EXPECT_TRUE(cover->isVisible());
    EXPECT_EQ(cover->geometry(), StreamPageRect(*form));
    EXPECT_EQ(ReadKey(ProgramSettings(), settings::MainForm, settings::Protocol), "1");
    EXPECT_FALSE(WorkingSettingsExist());

    form->resize(900, 640);
    QTRY_COMPARE(form->size(), QSize(900, 640));
    QTRY_COMPARE(cover->geometry(), StreamPageRect(*form));
    form->move(form->x() + 15, form->y() + 7);
    QTRY_COMPARE(cover->geometry(), StreamPageRect(*form));

    form->PageControl1->setCurrentWidget(form->TabSheet1);
    EXPECT_FALSE(cover->isVisible());
    EXPECT_TRUE(form->ComboBox2->isEnabled());
    form->PageControl1->setCurrentWidget(form->TabSheet3);
    EXPECT_FALSE(cover->isVisible());
    EXPECT_FALSE(form->ComboBox2->isEnabled());
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    EXPECT_TRUE(cover->isVisible());
    EXPECT_EQ(cover->geometry(), StreamPageRect(*form));

    Choose(*form, 0);
    EXPECT_EQ(form->Bus().Protocol(), TProtocol::Standard);
    EXPECT_FALSE(cover->isVisible());
    EXPECT_TRUE(form->TabSheet2->isEnabled());
    EXPECT_EQ(ReadKey(ProgramSettings(), settings::MainForm, settings::Protocol), "0");
}

TEST_F(FormTest, ModbusChosenOnAnotherPageCoversTheStreamPageOnlyWhenShown)
{
    auto form = MakeForm();
    ShowAndWait(*form);
    Choose(*form, 1);
    EXPECT_FALSE(form->splash->isVisible());
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    EXPECT_TRUE(form->splash->isVisible());
}

TEST_F(FormTest, CoverKeepsThePageControlsOutOfReach)
{
    auto form = MakeForm();
    ShowAndWait(*form);
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    form->TabSheet2->setEnabled(true); // as after a search, whatever the protocol
    QSignalSpy clicks(form->TabSheet2->Button6, &QPushButton::clicked);

    // Without the cover the same click and key reach the button: the test can tell.
    QTest::mouseClick(form->TabSheet2->Button6, Qt::LeftButton);
    form->TabSheet2->Button6->setFocus();
    QTest::keyClick(form->TabSheet2->Button6, Qt::Key_Space);
    ASSERT_EQ(clicks.count(), 2);

    Choose(*form, 1);
    form->TabSheet2->setEnabled(true);
    ASSERT_TRUE(form->splash->isVisible());
    clicks.clear();
    QTest::mouseClick(form->TabSheet2->Button6, Qt::LeftButton);
    QTest::mouseClick(form->splash, Qt::LeftButton);
    form->TabSheet2->Button6->setFocus();
    QTest::keyClick(form->TabSheet2->Button6, Qt::Key_Space);
    QTest::keyClick(form->TabSheet2->Button6, Qt::Key_Return);
    EXPECT_EQ(clicks.count(), 0);
}

TEST_F(FormTest, CoverShowsItsMessage)
{
    auto form = MakeForm();
    const QLabel* label = form->splash->Label1;
    EXPECT_EQ(label->text(),
              QStringLiteral("Для протокола Modbus считывание потока данных не поддерживается"));
    EXPECT_TRUE(label->wordWrap());
    EXPECT_EQ(label->alignment(), Qt::AlignCenter);
    EXPECT_TRUE(label->font().bold());
    EXPECT_EQ(label->font().pixelSize(), 32);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0x80, 0x00, 0x00));
    const QMargins margins = form->splash->layout()->contentsMargins();
    EXPECT_EQ(margins.left(), 50);
    EXPECT_EQ(margins.right(), 50);
    EXPECT_FALSE(form->splash->isVisible());
}

TEST_F(FormTest, StoredModbusStartsWithoutCoverAndStandardEnablesTheStreamPage)
{
    WriteWorkingSettings("[MainForm]\nПротокол обмена=1\n");
    auto form = MakeForm();
    ShowAndWait(*form);
    EXPECT_FALSE(form->splash->isVisible());
    EXPECT_FALSE(form->TabSheet2->isEnabled());
    Choose(*form, 0);
    EXPECT_TRUE(form->TabSheet2->isEnabled());
    EXPECT_FALSE(form->TabSheet5->isEnabled());
}

TEST_F(FormTest, EndOfAnOperationRestoresPagesAndSelectors)
{
    for (const int protocol : {0, 1}) {
        auto form = MakeForm();
        ShowAndWait(*form);
        Choose(*form, protocol);
        form->PageControl1->setCurrentWidget(form->TabSheet3);
        form->PageControl1->setEnabled(false);
        form->ComboBox1->setEnabled(false);
        form->RadioGroup_protocol_obm->setEnabled(false);
        for (int panel = 0; panel < 4; ++panel)
            form->SetStatusText(panel, QStringLiteral("x%1").arg(panel));

        form->ResetFormElements();
        EXPECT_TRUE(form->PageControl1->isEnabled());
        EXPECT_TRUE(form->TabSheet1->isEnabled());
        EXPECT_TRUE(form->TabSheet5->isEnabled());
        EXPECT_TRUE(form->TabSheet3->isEnabled());
        EXPECT_EQ(form->TabSheet2->isEnabled(), protocol == 0);
        EXPECT_FALSE(form->ComboBox2->isEnabled()) << "not on the search page";
        EXPECT_TRUE(form->ComboBox1->isEnabled());
        EXPECT_TRUE(form->RadioGroup_protocol_obm->isEnabled());
        EXPECT_EQ(form->StatusText(0), "");
        EXPECT_EQ(form->StatusText(1), "");
        EXPECT_EQ(form->StatusText(2), "");
        EXPECT_EQ(form->StatusText(3), "x3");

        form->PageControl1->setCurrentWidget(form->TabSheet1);
        form->ComboBox2->setEnabled(false);
        form->ResetFormElements();
        EXPECT_TRUE(form->ComboBox2->isEnabled());
    }
}

} // namespace

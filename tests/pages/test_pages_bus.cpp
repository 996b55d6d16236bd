// Each page alone on a small host, doing one real operation through its own buttons.
#include "PageHostFixture.h"
#include "pages/LatchPage.h"
#include "params/ParamSet.h"
#include "pages/ParamsPage.h"
#include "pages/SearchPage.h"
#include "pages/StreamChart.h"
#include "pages/StreamPage.h"
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTreeWidget>

namespace {

TEST_F(PageOnBusTest, SearchPageListsTheSensorsItFinds)
{
    // Within the default bound of 3, at a speed of its own.
    ASSERT_GE(AddSensor(3, 19200), 0);
    auto& page = MakePage<TSearchPage>(order);
    page.Button5->click();
    EXPECT_EQ(host->StatusText(1), QStringLiteral("Поиск..."));
    ASSERT_TRUE(WaitFor([&] { return host->StatusText(1) == QStringLiteral("Поиск завершён"); }, 8000));
    ASSERT_EQ(page.ListView1->topLevelItemCount(), 1);
    EXPECT_EQ(page.ListView1->topLevelItem(0)->text(0), QStringLiteral("3"));
    EXPECT_EQ(page.ListView1->topLevelItem(0)->text(1), QStringLiteral("19200 бод"));
    EXPECT_EQ(host->Addresses(), QStringList{QStringLiteral("3")});
    EXPECT_TRUE(page.Button5->isEnabled());
}

TEST_F(PageOnBusTest, ParamsPageReadsTheChosenSensorIntoItsGrid)
{
    ASSERT_NE(ChooseFoundSensor(), nullptr);
    auto& page = MakePage<TParamsPage>();
    page.ParamsLoaded.assign(1, false);
    page.AddressChosen(0);
    EXPECT_FALSE(page.Label_Hint->isHidden());
    page.Button1->click();
    ASSERT_TRUE(
        WaitFor([&] { return host->StatusText(1) == QStringLiteral("Чтение параметров завершено"); }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(page.KGrid1->item(ParamRow::Address, 1)->text(), QStringLiteral("26"));
    EXPECT_TRUE(page.Label_Hint->isHidden());
    EXPECT_EQ(page.ParamsLoaded, std::vector<bool>{true});
}

TEST_F(PageOnBusTest, StreamPageDrawsTheStreamAndReportsItsEnd)
{
    ASSERT_NE(ChooseFoundSensor(), nullptr);
    auto& page = MakePage<TStreamPage>(program.path());
    QSignalSpy ended(&page, &TStreamPage::StreamEnded);
    page.Button6->click();
    ASSERT_TRUE(WaitFor([&] { return page.StreamChart().Count() > 10; }));
    EXPECT_EQ(host->StatusText(1), QStringLiteral("Поток запущен"));
    EXPECT_TRUE(host->Bus().StreamRunning());
    page.Button7->click();
    EXPECT_FALSE(page.Button6->isEnabled()) << "held until the stop is confirmed";
    ASSERT_TRUE(WaitFor([&] { return host->StatusText(1) == QStringLiteral("Поток остановлен"); }, 6000));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(host->Bus().StreamRunning());
    EXPECT_TRUE(page.Button6->isEnabled());
}

TEST_F(PageOnBusTest, LatchPageAddsARowPerReply)
{
    ASSERT_NE(ChooseFoundSensor(), nullptr);
    auto& page = MakePage<TLatchPage>(order, program.path());
    page.Button9->click();
    ASSERT_TRUE(WaitFor([&] { return host->StatusText(1) == QStringLiteral("Результат защёлкнут"); }));
    ASSERT_TRUE(WaitIdle());
    page.Button11->click();
    ASSERT_TRUE(
        WaitFor([&] { return host->StatusText(1) == QStringLiteral("Последний результат прочитан"); }));
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(page.CountRowTable, 2);
    EXPECT_EQ(page.StringGrid1->item(0, 3)->text(), QStringLiteral("               Защёлкнут"));
    EXPECT_EQ(page.StringGrid1->item(1, 5)->text(), QStringLiteral("               125,00"));
}

} // namespace

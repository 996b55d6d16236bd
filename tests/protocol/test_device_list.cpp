#include "convert/Unit_Utils.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "protocol/Frames.h"
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

TEST(DeviceList, LookupByAddressBoxText)
{
    TDeviceList list;
    TDevice* const first1A = list.Append("1A", 19200);
    TDevice* const d05 = list.Append("05", 9600);
    TDevice* const second1A = list.Append("1A", 9600);
    TDevice* const lower = list.Append("1a", 9600);
    TDevice* const d100 = list.Append("100", 9600);
    TDevice* const dFF = list.Append("FF", 9600);
    ASSERT_EQ(list.Count(), 6);
    EXPECT_NE(first1A, second1A);
    EXPECT_EQ(first1A->ComPortSpeed.load(), 19200);
    EXPECT_EQ(list.At(2), second1A);
    EXPECT_EQ(list.At(6), nullptr);
    EXPECT_EQ(list.At(-1), nullptr);
    EXPECT_EQ(list.FindByAdressStr("1a"), lower);

    struct Case {
        const char* text;
        TDevice* expected;
    };
    const std::vector<Case> cases = {
        {"26", first1A}, {"5", d05},        {"05", d05},      {"0", nullptr},  {"255", dFF},
        {"256", d100},   {" 26 ", first1A}, {"+26", first1A}, {"-1", nullptr}, {"27", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(list.FindByBoxText(QString::fromUtf8(c.text)), c.expected);
    }
    for (const char* text : {"abc", "", " ", "1A", "2 6", "26.0", "0x1A", "99999999999"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(list.FindByBoxText(QString::fromUtf8(text)), EConvertError);
    }

    // A record whose sensor sent its address in lower case is never found by number.
    for (int adr = -1; adr <= 300; ++adr) {
        EXPECT_NE(list.FindByNumber(adr), lower);
        EXPECT_NE(list.FindByBoxText(QString::number(adr)), lower);
    }
    EXPECT_EQ(list.FindByNumber(26), first1A);
    EXPECT_EQ(list.FindByNumber(0), nullptr);

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    for (const char* text : {"26", "5", "0", "255"})
        EXPECT_EQ(list.FindByBoxText(QString::fromUtf8(text)), nullptr);
    EXPECT_EQ(list.FindByNumber(26), nullptr);
}

TEST(DeviceList, CountNeverPassesTheListLength)
{
    TDeviceList list;
    for (int i = 1; i <= TDeviceList::MaxCount; ++i)
        ASSERT_NE(list.Append(AddressText(i % 256), 9600), nullptr);
    EXPECT_EQ(list.Count(), 255);
    EXPECT_EQ(list.Append("01", 9600), nullptr);
    EXPECT_EQ(list.Count(), 255);
    EXPECT_NE(list.At(254), nullptr);
    EXPECT_EQ(list.At(255), nullptr);
}

// Another thread looks records up while the bus's thread appends and renames them.
TEST(DeviceList, LookupWhileRecordsAreAppended)
{
    TDeviceList list;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        while (!done.load()) {
            if (TDevice* const device = list.FindByBoxText("26")) {
                EXPECT_EQ(device->AdressStr.load(), "1A");
            }
        }
    });
    for (int i = 1; i <= 200; ++i)
        list.Append(AddressText(i), 9600);
    TDevice* const renamed = list.FindByNumber(27);
    for (int i = 0; i < 200; ++i)
        renamed->AdressStr = QByteArray(i % 2 ? "1B" : "7F");
    done = true;
    worker.join();
    EXPECT_EQ(list.Count(), 200);
}

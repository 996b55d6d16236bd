#include "LinkFixture.h"
#include "convert/Unit_Utils.h"
#include "protocol/DeviceUnit.h"
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {
class DeviceLookup : public LinkFixture {};
} // namespace

TEST_F(DeviceLookup, ByAddressBoxText)
{
    SearchSpeed = 19200;
    TDevice* const first1A = CreateSearchDevice("1A");
    TDevice* const d05 = CreateSearchDevice("05");
    TDevice* const second1A = CreateSearchDevice("1A");
    TDevice* const lower = CreateSearchDevice("1a");
    TDevice* const d100 = CreateSearchDevice("100");
    TDevice* const dFF = CreateSearchDevice("FF");
    ASSERT_EQ(DeviceCount(), 6);
    EXPECT_NE(first1A, second1A);
    EXPECT_EQ(first1A->ComPortSpeed.load(), 19200);
    EXPECT_EQ(Devices.At(2), second1A);
    EXPECT_EQ(Devices.At(6), nullptr);
    EXPECT_EQ(Devices.At(-1), nullptr);

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
        EXPECT_EQ(FindDevice(QString::fromUtf8(c.text)), c.expected);
    }
    for (const char* text : {"abc", "", " ", "1A", "2 6", "26.0", "0x1A", "99999999999"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(FindDevice(QString::fromUtf8(text)), EConvertError);
    }

    // A record whose sensor sent its address in lower case is never found.
    for (int adr = -1; adr <= 300; ++adr) {
        EXPECT_NE(FindDeviceInt(adr), lower);
        EXPECT_NE(FindDevice(QString::number(adr)), lower);
    }
    EXPECT_EQ(FindDeviceInt(26), first1A);
    EXPECT_EQ(FindDeviceInt(0), nullptr);

    SetSelectedAddressText("5");
    EXPECT_EQ(SelectedAddressText(), "5");
    EXPECT_EQ(SelectedDevice(), d05);

    ClearDevices();
    EXPECT_EQ(DeviceCount(), 0);
    for (const char* text : {"26", "5", "0", "255"})
        EXPECT_EQ(FindDevice(QString::fromUtf8(text)), nullptr);
    EXPECT_EQ(FindDeviceInt(26), nullptr);
}

TEST_F(DeviceLookup, CountNeverPassesTheListLength)
{
    for (int i = 1; i <= TDeviceList::MaxCount; ++i)
        ASSERT_NE(CreateSearchDevice(AddressText(i % 256)), nullptr);
    EXPECT_EQ(DeviceCount(), 255);
    EXPECT_EQ(CreateSearchDevice("01"), nullptr);
    EXPECT_EQ(DeviceCount(), 255);
    EXPECT_NE(Devices.At(254), nullptr);
    EXPECT_EQ(Devices.At(255), nullptr);
}

// A worker looks records up while the main thread creates and renames them.
TEST_F(DeviceLookup, LookupWhileRecordsAreCreated)
{
    std::atomic<bool> done{false};
    std::atomic<int> found{0};
    std::thread worker([&] {
        while (!done.load()) {
            if (TDevice* const device = FindDevice("26")) {
                EXPECT_EQ(device->AdressStr.load(), "1A");
                found.fetch_add(1);
            }
        }
    });
    for (int i = 1; i <= 200; ++i)
        CreateSearchDevice(AddressText(i));
    TDevice* const renamed = FindDeviceInt(27);
    for (int i = 0; i < 200; ++i)
        renamed->AdressStr = QByteArray(i % 2 ? "1B" : "7F");
    done = true;
    worker.join();
    EXPECT_EQ(DeviceCount(), 200);
}

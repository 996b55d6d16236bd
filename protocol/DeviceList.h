#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class TDevice;

// The sensors found by the bus search, in order of discovery. The list owns its records.
// Any thread may look records up while the main thread appends; a record stays valid until
// Clear(), which runs only while no operation runs (a new search starts, or the program ends).
// At most 255 records are kept, so the count always fits DeviceCount's 8 bits and equals the
// list length: an append beyond that is refused.
class TDeviceList {
  public:
    static constexpr int MaxCount = 255;

    std::uint8_t Count() const;
    TDevice* At(int index) const;                               // nullptr outside 0..Count()-1
    TDevice* FindByAdressStr(const QByteArray& adr) const;      // first exact, case-sensitive match
    TDevice* Append(const QByteArray& adr, std::int32_t speed); // nullptr when the list is full
    void Clear();

  private:
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<TDevice>> items_;
};

extern TDeviceList Devices;

// The number of records in Devices.
std::uint8_t DeviceCount();

// Lookup by the address box text: the decimal number written as upper-case hexadecimal with at
// least two digits ("26" -> "1A", "5" -> "05", "256" -> "100"), then the first record with that
// AdressStr; nullptr when there is none. Surrounding blanks are ignored; any other text that is
// not a decimal integer throws EConvertError.
TDevice* FindDevice(const QString& boxText);
// The same lookup by address number; negative numbers find nothing.
TDevice* FindDeviceInt(int adr);
// A record for a search reply: appended with ComPortSpeed = SearchSpeed. nullptr when the list
// already holds 255 records; the reply is then dropped.
TDevice* CreateSearchDevice(const QByteArray& adrText);
void ClearDevices();
// The record of the sensor selected in the address box, for workers: FindDevice of the
// snapshot that the main thread keeps (SetSelectedAddressText). Throws like FindDevice.
TDevice* SelectedDevice();

#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class TDevice;

// The sensors a bus search found, in order of discovery; the list owns its records.
// Any thread may look records up while the bus's thread appends; a record stays valid until
// Clear(), which the bus calls only while no operation runs (a new search starts).
// At most 255 records are kept, so the count always fits DeviceCount's 8 bits: an append beyond
// that is refused.
class TDeviceList {
  public:
    static constexpr int MaxCount = 255;

    std::uint8_t Count() const;
    TDevice* At(int index) const;                               // nullptr outside 0..Count()-1
    TDevice* FindByAdressStr(const QByteArray& adr) const;      // first exact, case-sensitive match
    // The first record with this address number; negative numbers find nothing.
    TDevice* FindByNumber(int address) const;
    // Lookup by the address box text: the decimal number written as upper-case hexadecimal with
    // at least two digits ("26" -> "1A", "5" -> "05", "256" -> "100"). Surrounding blanks are
    // ignored; any other text that is not a decimal integer throws EConvertError.
    TDevice* FindByBoxText(const QString& boxText) const;
    TDevice* Append(const QByteArray& adr, std::int32_t speed); // nullptr when the list is full
    void Clear();

  private:
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<TDevice>> items_;
};

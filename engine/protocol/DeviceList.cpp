#include "protocol/DeviceList.h"
#include "convert/Unit_Utils.h"
#include "protocol/DeviceUnit.h"

std::uint8_t TDeviceList::Count() const
{
    const std::lock_guard lock(mutex_);
    return static_cast<std::uint8_t>(items_.size());
}

TDevice* TDeviceList::At(int index) const
{
    const std::lock_guard lock(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= items_.size())
        return nullptr;
    return items_[static_cast<std::size_t>(index)].get();
}

TDevice* TDeviceList::FindByAdressStr(const QByteArray& adr) const
{
    const std::lock_guard lock(mutex_);
    for (const auto& device : items_)
        if (device->AdressStr.load() == adr)
            return device.get();
    return nullptr;
}

TDevice* TDeviceList::FindByNumber(int address) const
{
    if (address < 0)
        return nullptr;
    return FindByAdressStr(QByteArray::number(address, 16).toUpper().rightJustified(2, '0'));
}

TDevice* TDeviceList::FindByBoxText(const QString& boxText) const
{
    bool ok = false;
    const int number = boxText.trimmed().toInt(&ok, 10);
    if (!ok)
        throw EConvertError("'" + boxText.toStdString() + "' is not a valid integer value");
    return FindByNumber(number);
}

TDevice* TDeviceList::Append(const QByteArray& adr, std::int32_t speed)
{
    auto device = std::make_unique<TDevice>(adr);
    device->ComPortSpeed = speed;
    const std::lock_guard lock(mutex_);
    if (items_.size() >= MaxCount)
        return nullptr;
    items_.push_back(std::move(device));
    return items_.back().get();
}

void TDeviceList::Clear()
{
    const std::lock_guard lock(mutex_);
    items_.clear();
}

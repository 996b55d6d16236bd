#pragma once
#include "LinkFixture.h"
#include "RecordingView.h"
#include "protocol/DeviceUnit.h"
#include "protocol/LinkView.h"
#include "protocol/ReceivePath.h"
#include <QLocale>
#include <QString>

// The link state idle, a recording view registered, no records, an empty address box and a
// Russian locale (decimal ","), all restored afterwards.
class ReceiveFixture : public LinkFixture {
  protected:
    void SetUp() override
    {
        LinkFixture::SetUp();
        SetLinkView(&view_);
        SearchMode = false;
        SearchSpeed = 0;
        StreamQuiet = true;
        SetSelectedAddressText(QString());
        FrameBuffer.fill(0);
        previousLocale_ = QLocale();
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    }
    void TearDown() override
    {
        QLocale::setDefault(previousLocale_);
        SetSelectedAddressText(QString());
        SearchMode = false;
        SetLinkView(nullptr);
        ReceiveBuffer.clear();
        LinkFixture::TearDown();
    }

    // A record as the search leaves it, with its measuring range from the identification.
    static TDevice& AddRecord(const QByteArray& adressText, double range = 250)
    {
        TDevice* device = Devices.Append(adressText, 9600);
        device->ID_D = range;
        return *device;
    }
    static void Receive(const QByteArray& chunk)
    {
        ReceiveChunk(chunk.constData(), static_cast<int>(chunk.size()));
    }

    RecordingView view_;

  private:
    QLocale previousLocale_;
};

inline QString Spaces(int n)
{
    return QString(n, u' ');
}

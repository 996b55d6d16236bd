#pragma once
#include "protocol/LinkState.h"
#include <QByteArray>
#include <QList>
#include <gtest/gtest.h>
#include <mutex>

// Registers a sender that records every write, and puts the link state the request methods
// read into a known idle state.
class LinkFixture : public ::testing::Test {
  protected:
    void SetUp() override
    {
        SetLinkSender([this](const QByteArray& bytes) {
            const std::lock_guard lock(mutex_);
            writes_.append(bytes);
            return driverResult_;
        });
        ReplyReceived = true;
        ProtocolMode = 0;
        ProbeDelay = 0;
        for (auto* flag : {&ExpectLastResult, &ExpectSwitchResult, &ExpectIdent, &ExpectAllParams,
                           &ExpectFlags, &WriteFlagsOnly})
            *flag = false;
        WriteAddress = QByteArray();
        ReceiveBuffer.clear();
        ClearDevices();
    }
    void TearDown() override
    {
        SetLinkSender(nullptr);
        ClearDevices();
        ReplyReceived = true;
    }

    QList<QByteArray> Writes() const
    {
        const std::lock_guard lock(mutex_);
        return writes_;
    }
    void ForgetWrites()
    {
        const std::lock_guard lock(mutex_);
        writes_.clear();
    }

    bool driverResult_ = true;

  private:
    mutable std::mutex mutex_;
    QList<QByteArray> writes_;
};

inline QByteArray Hex(const char* text)
{
    return QByteArray::fromHex(text);
}

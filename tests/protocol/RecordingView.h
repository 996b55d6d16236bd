#pragma once
#include "protocol/LinkView.h"
#include <QByteArray>
#include <QString>
#include <functional>
#include <ostream>
#include <vector>

class TDevice;

// One call the receive path or a decoder made on the window.
struct TViewCall {
    enum Kind {
        Status,
        LatchRow,
        StartFrameTimeout,
        StopFrameTimeout,
        StartErrorClear,
        EnableAfterDefaults,
        ModbusException,
        Stream
    };
    Kind kind;
    int number = 0;  // status panel, or the latch row's address number
    int column = 0;  // latch row
    QString text;    // status or cell text, or the exception message
    QByteArray line; // stream line
    const TDevice* device = nullptr;
    QString caption; // exception message box

    bool operator==(const TViewCall&) const = default;
};

inline TViewCall StatusCall(int panel, const QString& text)
{
    return {TViewCall::Status, panel, 0, text, {}, nullptr, {}};
}
inline TViewCall LatchRowCall(int address, int column, const QString& text)
{
    return {TViewCall::LatchRow, address, column, text, {}, nullptr, {}};
}
inline TViewCall StreamCall(const TDevice* device, const QByteArray& line)
{
    return {TViewCall::Stream, 0, 0, {}, line, device, {}};
}
inline TViewCall Call(TViewCall::Kind kind)
{
    return {kind, 0, 0, {}, {}, nullptr, {}};
}
inline TViewCall ModbusExceptionCall(const QString& text, const QString& caption)
{
    return {TViewCall::ModbusException, 0, 0, text, {}, nullptr, caption};
}

inline void PrintTo(const TViewCall& c, std::ostream* os)
{
    static const char* const names[] = {"Status",           "LatchRow",        "StartFrameTimeout",
                                        "StopFrameTimeout", "StartErrorClear", "EnableAfterDefaults",
                                        "ModbusException",  "Stream"};
    *os << names[c.kind] << "(" << c.number << ", " << c.column << ", \"" << c.text.toStdString() << "\", \""
        << c.line.toStdString() << "\", \"" << c.caption.toStdString() << "\")";
}

// Records every call in order, and keeps Timer1 the way the window does: starting it while it
// runs does not restart it.
class RecordingView : public TLinkView {
  public:
    void SetStatusText(int panel, const QString& text) override { calls.push_back(StatusCall(panel, text)); }
    void AddLatchRow(int addressNumber, TLatchColumn column, const QString& text) override
    {
        calls.push_back(LatchRowCall(addressNumber, column, text));
    }
    void StartFrameTimeout() override
    {
        calls.push_back(Call(TViewCall::StartFrameTimeout));
        if (!frameTimerRunning)
            ++frameTimerStarts;
        frameTimerRunning = true;
    }
    void StopFrameTimeout() override
    {
        calls.push_back(Call(TViewCall::StopFrameTimeout));
        frameTimerRunning = false;
    }
    void StartErrorClear() override { calls.push_back(Call(TViewCall::StartErrorClear)); }
    void EnableAfterDefaults() override { calls.push_back(Call(TViewCall::EnableAfterDefaults)); }
    // Runs whileModal before it returns, as the user would close the box.
    void ShowModbusException(const QString& text, const QString& caption) override
    {
        calls.push_back(ModbusExceptionCall(text, caption));
        if (whileModal)
            whileModal();
    }
    void StreamText(TDevice& device, const QByteArray& line) override
    {
        calls.push_back(StreamCall(&device, line));
    }

    int Count(TViewCall::Kind kind) const
    {
        int n = 0;
        for (const auto& c : calls)
            n += c.kind == kind;
        return n;
    }

    std::vector<TViewCall> calls;
    bool frameTimerRunning = false;
    int frameTimerStarts = 0;
    std::function<void()> whileModal;
};

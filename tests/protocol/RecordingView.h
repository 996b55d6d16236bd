#pragma once
#include "protocol/LinkView.h"
#include <QByteArray>
#include <QString>
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
        Stream
    };
    Kind kind;
    int number = 0;  // status panel, or the latch row's address number
    int column = 0;  // latch row
    QString text;    // status or cell text
    QByteArray line; // stream line
    const TDevice* device = nullptr;

    bool operator==(const TViewCall&) const = default;
};

inline TViewCall StatusCall(int panel, const QString& text)
{
    return {TViewCall::Status, panel, 0, text, {}, nullptr};
}
inline TViewCall LatchRowCall(int address, int column, const QString& text)
{
    return {TViewCall::LatchRow, address, column, text, {}, nullptr};
}
inline TViewCall StreamCall(const TDevice* device, const QByteArray& line)
{
    return {TViewCall::Stream, 0, 0, {}, line, device};
}
inline TViewCall Call(TViewCall::Kind kind)
{
    return {kind, 0, 0, {}, {}, nullptr};
}

inline void PrintTo(const TViewCall& c, std::ostream* os)
{
    static const char* const names[] = {"Status",
                                        "LatchRow",
                                        "StartFrameTimeout",
                                        "StopFrameTimeout",
                                        "StartErrorClear",
                                        "EnableAfterDefaults",
                                        "Stream"};
    *os << names[c.kind] << "(" << c.number << ", " << c.column << ", \"" << c.text.toStdString() << "\", \""
        << c.line.toStdString() << "\")";
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
};

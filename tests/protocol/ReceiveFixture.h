#pragma once
#include "Bytes.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "protocol/ReceivePath.h"
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <vector>

struct TNote {
    TReplyEvent event;
    std::uint16_t raw = 0;
    bool nForm = false;
    bool operator==(const TNote&) const = default;
};
inline void PrintTo(const TNote& n, std::ostream* os)
{
    *os << "{event " << int(n.event) << ", raw " << n.raw << (n.nForm ? ", N" : "") << "}";
}
inline void PrintTo(TReceiveError e, std::ostream* os)
{
    static const char* const names[] = {"Decoding", "FrameTimeout", "FrameOverflow"};
    *os << names[static_cast<int>(e)];
}

struct TBatch {
    const TDevice* device;
    std::vector<TStreamSample> samples;
    int speed;
};

// Everything the receive path reports, in order; the frame timer kept as the bus keeps it: a
// start while it runs does not restart it.
class RecordingSink : public TReceiveSink {
  public:
    void Replied(TDevice& device, const TReplyNote& note) override
    {
        notes.push_back({note.Event, note.Result.Raw, note.Result.NForm});
        replied.push_back(&device);
    }
    void Completed(TRequest& request) override { completed.push_back(&request); }
    void Samples(TDevice& device, std::span<const TStreamSample> samples, const TChunk& chunk) override
    {
        batches.push_back({&device, {samples.begin(), samples.end()}, chunk.Speed});
    }
    void Found(TDevice& device) override { found.push_back(&device); }
    void Error(TReceiveError error) override { errors.push_back(error); }
    void Heard(const THeardFrame& frame) override { heard.push_back(frame); }
    void FrameTimeout(bool run) override
    {
        timer.push_back(run);
        timerStarts += run && !timerRunning;
        timerRunning = run;
    }

    std::vector<TNote> notes;
    std::vector<const TDevice*> replied;
    std::vector<const TRequest*> completed;
    std::vector<TBatch> batches;
    std::vector<const TDevice*> found;
    std::vector<TReceiveError> errors;
    std::vector<bool> timer;
    std::vector<THeardFrame> heard;
    int timerStarts = 0;
    bool timerRunning = false;
};

// A receive path over its own sensor list and a recording sink; Fresh() starts again with a new
// one, so that each case of a table begins from nothing.
class ReceiveFixture : public ::testing::Test {
  protected:
    struct TRig {
        TDeviceList devices;
        RecordingSink sink;
        TReceivePath path{devices, sink};
    };

    void SetUp() override { Fresh(); }
    // A path in protocol with the sensor 1A, measuring range 250 mm, found at 9600 baud.
    void Fresh(TProtocol protocol = TProtocol::Standard)
    {
        rig_ = std::make_unique<TRig>();
        rig_->path.SetProtocol(protocol);
        sensor_ = AddRecord("1A", 250);
    }
    TDevice* AddRecord(const QByteArray& adressText, double range)
    {
        TDevice* const device = rig_->devices.Append(adressText, 9600);
        if (device)
            device->ID_D = range;
        return device;
    }
    // As the bus sends it: the speed set, then the path told before any byte of its reply.
    TRequestPtr Send(TRequestPtr request, int speed = 9600)
    {
        request->Speed = speed;
        rig_->path.Sent(request);
        return request;
    }
    void Receive(const QByteArray& bytes, int speed = 9600) { rig_->path.Receive({bytes, speed, {}}); }
    bool Answered(const TRequestPtr& request) const
    {
        return request->State.load() == TRequestState::Answered && Sink().completed.size() == 1 &&
               Sink().completed.front() == request.get();
    }
    bool Pending(const TRequestPtr& request) const
    {
        return request->State.load() == TRequestState::Pending && Sink().completed.empty();
    }

    TReceivePath& Path() { return rig_->path; }
    TDeviceList& Devices() { return rig_->devices; }
    RecordingSink& Sink() { return rig_->sink; }
    const RecordingSink& Sink() const { return rig_->sink; }
    TDevice& Sensor() { return *sensor_; }

  private:
    std::unique_ptr<TRig> rig_;
    TDevice* sensor_ = nullptr;
};

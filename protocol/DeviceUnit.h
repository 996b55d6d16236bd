#pragma once
#include "protocol/Frames.h"
#include "protocol/LockedText.h"
#include <QByteArray>
#include <atomic>
#include <cstdint>

// One sensor found on the bus: its address, identification, raw parameter registers, results
// and the request methods that build and send every request to it.
//
// Threads: request methods run on operation workers; decoders, pages and the completion handler
// run on the main thread. Plain fields below are touched by the main thread only (decoders and
// pages), or written on the main thread while no worker reads them. Fields a worker and the main
// thread may touch at the same moment are atomics or TLockedText:
//  - AdressStr: the main thread renames the record (parameter write, its rollback) while a
//    worker, possibly a stopped one still on its last try, looks records up by it;
//  - DCommand: written by whichever worker builds a request, possibly two at once when a stopped
//    worker has not yet noticed its stop;
//  - threadResultIsExec: set by the stream worker, cleared by the main thread;
//  - ComPortSpeed: read by the identification worker, changed by a main-thread speed switch;
//  - ThreadResultCount, mb_version_for_RW_all_N: written by workers.
class TDevice {
  public:
    explicit TDevice(const QByteArray& adr);
    ~TDevice() = default;
    TDevice(const TDevice&) = delete;
    TDevice& operator=(const TDevice&) = delete;

    // Each request returns true when its frame was handed to the serial driver; the frame built
    // is left in DCommand even when the request token refused it. A Modbus request throws
    // EConvertError when the address text is not two hexadecimal digits, rather than sending
    // to a wrong (or the broadcast) address.
    bool Setup();
    bool SwitchOn();
    bool SwitchOff();
    bool SaveToFlash();
    bool SetParmDefault();
    bool SwitchResult();
    bool ReadSwitchResult();
    bool ReadLastResult();
    bool ReadIdent();
    bool Read_Flag_modbus();
    bool ReadAllParam_modbus();
    bool ReadPAdress();
    bool ReadGaugeOnOff();
    bool ReadAnalogExit();
    bool ReadThreadOnOff();
    bool ReadSynhro();
    bool ReadByteFormat();
    bool ReadUart();
    bool ReadPeriodLo();
    bool ReadPeriodHi();
    bool ReadConstantLo();
    bool ReadConstantHi();
    bool ReadTimeLo();
    bool ReadTimeHi();
    bool ReadTypeData();
    bool ReadMiddlePoint();
    bool ReadMedianPoint();
    bool ReadLowLevelAnalogExitLo();
    bool ReadLowLevelAnalogExitHi();
    bool ReadHighLevelAnalogExitLo();
    bool ReadHighLevelAnalogExitHi();
    bool ReadDiscreetExit();
    bool ReadFirstDiffFirstDiscreetExitLo();
    bool ReadFirstDiffFirstDiscreetExitHi();
    bool ReadSecondDiffFirstDiscreetExitLo();
    bool ReadSecondDiffFirstDiscreetExitHi();
    bool ReadFirstDiffSecondDiscreetExitLo();
    bool ReadFirstDiffSecondDiscreetExitHi();
    bool ReadSecondDiffSecondDiscreetExitLo();
    bool ReadSecondDiffSecondDiscreetExitHi();
    bool ReadR();
    bool ReadOI();
    bool ReadCorrezLo();
    bool ReadCorrezHi();
    bool ReadCorrezSign();
    bool StartThreadResult();
    bool StopThreadResult();
    bool ReadAllSwitchResult(); // broadcast: ignores and keeps the request token
    // addr: register code "01".."22" (standard only); Data: the encoded value, or in Modbus the
    // two flag-register bytes (WriteFlagsOnly) or the parameter block. Sent to WriteAddress.
    bool WriteParam(const QByteArray& addr, const QByteArray& Data);
    bool WriteParamAddress(const QByteArray& s);
    // The request token: sends only while ReplyReceived is true, and taking it clears it.
    bool SendCommand(const QByteArray& Commnd);
    bool ReadEnd() const; // ReplyReceived

    // Reply decoders; main thread only, called by the receive path. Both report through
    // LinkView() and end by setting ReplyReceived.
    // One standard-protocol reply. A field that is no number throws EConvertError; what was
    // stored before it stays.
    void GetAnswer(const QByteArray& st);
    // The Modbus frame in FrameBuffer (ReceivedFrameLength() bytes), complete with a correct CRC,
    // for this record's address; the expectation flags say what a function-3 reply answers. A
    // frame without the layout of what it answers is not read: it changes neither the record nor
    // the window, clears the expectation it was taken for and shows the decoding error on panel 2.
    // Throws nothing of its own.
    void GetAnswer_modbus();
    // The switch echoes of GetAnswer_modbus: status panel 0 shows the sensor's new state.
    void AfterSwitchOn();
    void AfterSwitchOff();
    // Stream sample groups ("!", five characters, CR) that st holds complete.
    int ValueCount(const QByteArray& st) const;
    // Consumes the first group of st: up to and including the seventh character from its first
    // "!". Value is the group's number (the count after an "N"); false when the group does not
    // end in CR or holds no number. What is left of st is also stored in ReceiveBuffer, where the
    // next chunk completes a partial group.
    bool ExtractValue(int& Value, QByteArray& st) const;

    std::uint16_t PAdress = 0;
    std::uint16_t GaugeOnOff = 0;
    std::uint16_t AnalogExit = 0;
    std::uint16_t ByteFormat = 0;
    std::uint16_t Uart = 0;
    std::uint16_t TypeData = 0;
    std::uint16_t MiddlePoint = 0;
    std::uint16_t MedianPoint = 0;
    std::uint16_t wdSwitchResult = 0;
    std::uint16_t wdLastResult = 0;
    std::uint16_t Synhro = 0;
    std::uint16_t ThreadOnOff = 0;
    std::uint8_t PeriodLo = 0, PeriodHi = 0;
    std::uint8_t TimeLo = 0, TimeHi = 0;
    std::uint8_t LowLevelAnalogExitLo = 0, LowLevelAnalogExitHi = 0;
    std::uint8_t HighLevelAnalogExitLo = 0, HighLevelAnalogExitHi = 0;
    std::uint8_t DiscreetExit = 0;
    std::uint8_t param_R = 0;
    std::uint8_t param_OI = 0;
    std::uint8_t FirstDiffFirstDiscreetExitLo = 0, FirstDiffFirstDiscreetExitHi = 0;
    std::uint8_t SecondDiffFirstDiscreetExitLo = 0, SecondDiffFirstDiscreetExitHi = 0;
    std::uint8_t FirstDiffSecondDiscreetExitLo = 0, FirstDiffSecondDiscreetExitHi = 0;
    std::uint8_t SecondDiffSecondDiscreetExitLo = 0, SecondDiffSecondDiscreetExitHi = 0;
    std::uint8_t Nt_Hi = 0, Nt_Lo = 0;
    std::uint8_t CorrezHi = 0, CorrezLo = 0, CorrezSign = 0;
    QByteArray Model;
    TLockedText AdressStr;
    TLockedText DCommand;
    double ID_M = 0;
    double ID_D = 0;
    std::int32_t SerialNumber = 0;
    std::atomic<std::int32_t> ComPortSpeed{0};
    std::atomic<std::int32_t> ThreadResultCount{0};
    std::int32_t Correz = 0;
    std::atomic<bool> threadResultIsExec{false};
    double LastResult = 0;
    double SwitchedResult = 0;
    std::atomic<char> mb_version_for_RW_all_N{0};

  private:
    bool SendStandard(const QByteArray& command);
    bool SendModbusCommand(const char command[2]);
    bool SendModbusRead(const TModbusBody& body);
    bool SendCommandRequest(const char command[2]); // command write in either protocol
};

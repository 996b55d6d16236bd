#pragma once
#include "operations/TWorkerThread.h"
#include <QByteArray>
#include <vector>

class TDevice;
class TForm1;
struct TParamTexts;
struct TRegisterWrite;

// Writes the parameters page into the selected sensor (operation 4), including a change of its
// network address and line speed.
class TThread3 : public TWorkerThread {
  public:
    TThread3(TOperationThreads& threads, TForm1& form) : TWorkerThread(threads), form_(form) {}

  protected:
    void Execute() override;

  private:
    bool WriteStandard(const std::vector<TRegisterWrite>& writes, int newSpeed);
    bool WriteModbus(const QByteArray& flags, const QByteArray& block, int newSpeed);
    bool SendWrite(const QByteArray& reg, const QByteArray& data);
    // After the last request has left and before its reply: the port follows the sensor to the
    // speed it was given, once the request has had the time of 200 bits at the old speed.
    bool SwitchLineSpeed(int newSpeed);
    TForm1& form_;
};

// The write could not be launched after its button had renamed the record and the address box:
// both take the old address again and the controls are enabled.
void UndoParamWriteStart(TForm1& form, TDevice& record);

// A write that failed (timed out, or its worker could not go on): Label_Hint is shown and,
// unless the sensor has already taken its new address, the record and the address box return
// to the old one, which the sensor still answers to.
void RollBackParameterWrite(TForm1& form);

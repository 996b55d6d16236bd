#pragma once
#include "operations/TTrdDeviceUnit.h"

// Restores the selected sensor's factory parameters, then reads them back into the page
// (operation 5).
class TThread9 : public TTrdDevice {
  public:
    using TTrdDevice::TTrdDevice;

  protected:
    void Execute() override;
};

// The defaults operation could not start or go on: the controls it disabled are enabled and
// its status text is cleared.
void UndoDefaultsStart(TForm1& form);

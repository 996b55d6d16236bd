#pragma once
#include <QByteArray>
#include <QString>

class TDevice;

// The columns of the latch table that a reply fills; the other two result columns of the row
// stay empty.
enum TLatchColumn : int {
    LatchConfirmColumn = 3, // latch confirmations
    LatchReadColumn = 4,    // values read back from the latch
    LastResultColumn = 5,   // last results
};

// What the receive path and the reply decoders do to the main window, so that they need no
// widgets: the window implements it, tests and the fuzz target record the calls.
// Main thread only.
class TLinkView {
  public:
    virtual ~TLinkView() = default;

    // Status bar panel 0, 1 or 2.
    virtual void SetStatusText(int panel, const QString& text) = 0;
    // A new latch-table row by the row template: counter, addressNumber in decimal (only the blanks
    // when it is -1), time, text in column and the other result columns emptied; the row becomes
    // current.
    virtual void AddLatchRow(int addressNumber, TLatchColumn column, const QString& text) = 0;
    // Timer1, the Modbus frame timeout. Starting it while it runs must not restart its count: the
    // timeout counts from the first incomplete chunk.
    virtual void StartFrameTimeout() = 0;
    virtual void StopFrameTimeout() = 0;
    // Timer3, which clears status panel 2 when it fires.
    virtual void StartErrorClear() = 0;
    // After the defaults echo: PageControl1 and ComboBox1 enabled again, then ActivateModbus.
    virtual void EnableAfterDefaults() = 0;
    // The message of a Modbus exception reply: a modal message box with one OK button; returns when
    // the user has closed it.
    virtual void ShowModbusException(const QString& text, const QString& caption) = 0;
    // A standard line while device streams: its sample groups go to the chart, the value label and
    // the recording.
    virtual void StreamText(TDevice& device, const QByteArray& line) = 0;
};

// The view the receive path and the decoders report to; nullptr unregisters. Without a registered
// view they still decode into the records and the link state, and show nothing.
void SetLinkView(TLinkView* view);
TLinkView& LinkView();

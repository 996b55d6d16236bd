#pragma once
// What a page needs of the window around it: the bus, the settings, the sensor chosen in the
// address box and the status bar. The main window provides it; a test may provide its own.
#include <QString>

class TDevice;
class TSensorBus;
class TSettings;

class TPageHost {
  public:
    virtual ~TPageHost() = default;

    virtual TSensorBus& Bus() = 0;
    virtual TSettings& Settings() = 0;

    // The address box: how many sensors it lists, the chosen entry (-1: none) and its text, and
    // the record that text names (nullptr when it names none).
    virtual int SensorCount() const = 0;
    virtual int SelectedIndex() const = 0;
    virtual QString SelectedText() const = 0;
    virtual TDevice* SelectedDevice() const = 0;
    // The chosen entry takes a new text and keeps its place, as a write of a new address leaves it.
    virtual void RenameSelected(const QString& text) = 0;
    // The entry with text from, if there is one, takes text to and keeps its place.
    virtual void RenameEntry(const QString& from, const QString& to) = 0;

    // Status bar panels 0 to 2.
    virtual void SetStatusText(int panel, const QString& text) = 0;
    virtual QString StatusText(int panel) const = 0;
    // A reception error on panel 2, which clears itself after a while.
    virtual void ShowReceiveError(const QString& text) = 0;

    // The device path named by the port box; the demonstration bus starts behind "DEMO".
    // Throws EConvertError for a name that is no port.
    virtual QString PortPath() = 0;
};

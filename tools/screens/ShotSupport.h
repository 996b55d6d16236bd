#pragma once
// A real main window in a real X window (scripts/screenshots runs these programs under Xvfb) on
// fresh settings in temporary folders, for scene programs that drive it into a state worth
// looking at and save pictures of it.
#include "app/Unit1.h"
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class QWidget;

class ShotSession {
  public:
    // argv[1] is the folder the pictures go to; settingsIni, when given, is the Settings.ini the
    // window starts with. Shows the window at width x height and waits until it is exposed.
    ShotSession(int argc, char** argv, const QString& settingsIni = {}, int width = 1000, int height = 640);
    ~ShotSession();

    TForm1& form() { return *form_; }
    // Serves events until done() holds; false after ms.
    static bool WaitUntil(const std::function<bool()>& done, int ms);
    // Serves events for ms.
    static void Settle(int ms = 300);
    // Saves the window (or the widget) as <folder>/<name>.png; false when it could not be written.
    bool Save(const QString& name);
    bool Save(QWidget& widget, const QString& name);
    // Chooses the built-in simulated bus in the port box, as the user does.
    void ChooseDemoPort();
    // Searches the demo bus as the user does (every demo address) and selects the first sensor
    // found; false when the search did not end in success.
    bool SearchDemoBus();
    // Closes every message box that opens from now on by pressing its default button.
    void CloseMessageBoxes();
    // 0 when every picture was saved, for main's return value.
    int Result() const { return failures_ == 0 ? 0 : 1; }

  private:
    QTemporaryDir work_;
    QTemporaryDir program_;
    QString folder_;
    std::unique_ptr<TForm1> form_;
    int failures_ = 0;
};

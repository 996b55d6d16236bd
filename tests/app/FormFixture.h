#pragma once
#include "app/Unit1.h"
#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

// A main window over settings files in two fresh temporary folders: the working directory and
// the program's folder.
class FormTest : public ::testing::Test {
  protected:
    QTemporaryDir work;
    QTemporaryDir program;

    SettingsPaths Paths() const { return {work.path(), program.path()}; }
    void WriteWorkingSettings(const QByteArray& content) const;
    QByteArray WorkingSettings() const;
    QByteArray ProgramSettings() const;
    bool WorkingSettingsExist() const;
    // Builds the window as the program does: the window, then its stream-page cover.
    std::unique_ptr<TForm1> MakeForm() const;
    // Shows the window and waits until it can take input.
    static void ShowAndWait(TForm1& form);
};

// Closes every modal message box that opens while it lives, by its OK button, and keeps each
// box's text.
class ModalBoxCloser {
  public:
    ModalBoxCloser();
    const QStringList& Texts() const { return texts_; }

  private:
    QTimer timer_;
    QStringList texts_;
};

QSize PrimaryScreenSize();
QString ReadKey(const QByteArray& content, const QString& section, const QString& key);

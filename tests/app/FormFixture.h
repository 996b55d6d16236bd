#pragma once
#include "app/Unit1.h"
#include "support/ModalBoxCloser.h"
#include <QByteArray>
#include <QTemporaryDir>
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

QSize PrimaryScreenSize();
QString ReadKey(const QByteArray& content, const QString& section, const QString& key);

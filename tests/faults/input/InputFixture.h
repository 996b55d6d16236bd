#pragma once
// What the input fault suites share: the texts a user may type where a number belongs, the two
// locales they run in, and places that cannot be written even by root.
#include "sim/SimBus.h"
#include <QLocale>
#include <QString>
#include <gtest/gtest.h>
#include <string>
#include <vector>

class QLineEdit;

// One kind of bad text: empty, spaces, letters, a number too large for any field, a negative
// number and both decimal forms.
struct TypedText {
    const char* name;
    QString text;
};
const std::vector<TypedText>& TypedTexts();

// "Comma" runs in a Russian locale (decimal ","), "Dot" in an English one (".").
std::string LocaleName(const ::testing::TestParamInfo<QLocale::Language>& info);
QLocale LocaleOf(QLocale::Language language);
#define INSTANTIATE_INPUT_LOCALES(Suite)                                                                     \
    INSTANTIATE_TEST_SUITE_P(Locales, Suite, ::testing::Values(QLocale::Russian, QLocale::English),          \
                             LocaleName)

// Replaces what the box holds with text, key by key, as the user types it.
void TypeInto(QLineEdit* edit, const QString& text);

// Every parameter register of a simulated sensor, for "nothing was written" checks.
std::vector<int> RegistersOf(const SimBus& bus, int sensor);

QByteArray FileBytes(const QString& path);
bool WriteBytes(const QString& path, const QByteArray& bytes);

// A folder that, while this lives, is a regular file: everything below it fails with ENOTDIR,
// for root as for anyone. The folder comes back empty afterwards.
class FolderMadeFile {
  public:
    explicit FolderMadeFile(QString folder);
    ~FolderMadeFile();
    FolderMadeFile(const FolderMadeFile&) = delete;
    FolderMadeFile& operator=(const FolderMadeFile&) = delete;
    bool Ok() const { return ok_; }

  private:
    QString folder_;
    bool ok_ = false;
};

// Permission bits bind only users other than root.
bool PermissionsBind();

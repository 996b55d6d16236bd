#include "FormFixture.h"
#include "settings/IniFile.h"
#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

namespace {

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

void FormTest::WriteWorkingSettings(const QByteArray& content) const
{
    QFile f(Paths().WorkingFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(content), content.size());
}

QByteArray FormTest::WorkingSettings() const
{
    return ReadFile(Paths().WorkingFile());
}

QByteArray FormTest::ProgramSettings() const
{
    return ReadFile(Paths().ProgramFile());
}

bool FormTest::WorkingSettingsExist() const
{
    return QFile::exists(Paths().WorkingFile());
}

std::unique_ptr<TForm1> FormTest::MakeForm() const
{
    auto form = std::make_unique<TForm1>(nullptr, Paths());
    form->CreateSplash();
    return form;
}

void FormTest::ShowAndWait(TForm1& form)
{
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
}

QSize PrimaryScreenSize()
{
    return QGuiApplication::primaryScreen()->geometry().size();
}

QString ReadKey(const QByteArray& content, const QString& section, const QString& key)
{
    QString value;
    return ini::Find(content, section, key, &value) ? value : QStringLiteral("<missing>");
}

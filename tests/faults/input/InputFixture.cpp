#include "InputFixture.h"
#include "sim/SimRegisters.h"
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <unistd.h>

const std::vector<TypedText>& TypedTexts()
{
    static const std::vector<TypedText> texts{
        {"empty", QString()},
        {"spaces", QStringLiteral("   ")},
        {"letters", QStringLiteral("abc")},
        {"huge", QStringLiteral("99999999999999999999")},
        {"negative", QStringLiteral("-1")},
        {"comma decimal", QStringLiteral("1,5")},
        {"dot decimal", QStringLiteral("1.5")},
    };
    return texts;
}

std::string LocaleName(const ::testing::TestParamInfo<QLocale::Language>& info)
{
    return info.param == QLocale::Russian ? "Comma" : "Dot";
}

QLocale LocaleOf(QLocale::Language language)
{
    return language == QLocale::Russian ? QLocale(QLocale::Russian, QLocale::Russia)
                                        : QLocale(QLocale::English, QLocale::UnitedStates);
}

void TypeInto(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    if (!text.isEmpty())
        QTest::keyClicks(edit, text);
}

std::vector<int> RegistersOf(const SimBus& bus, int sensor)
{
    const SimRegisters registers = bus.registers(sensor);
    std::vector<int> values;
    for (int code = 0x01; code <= 0x22; ++code)
        values.push_back(registers.get(code));
    return values;
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

FolderMadeFile::FolderMadeFile(QString folder) : folder_(std::move(folder))
{
    ok_ = QDir(folder_).removeRecursively() && WriteBytes(folder_, "not a folder");
}

FolderMadeFile::~FolderMadeFile()
{
    QFile::remove(folder_);
    QDir().mkpath(folder_);
}

bool PermissionsBind()
{
    return ::geteuid() != 0;
}

#include "widgets/ProgressBar.h"

TCaptionProgressBar::TCaptionProgressBar(QWidget* parent) : QProgressBar(parent)
{
    setRange(0, 100);
    setValue(0);
    setFormat(QString());
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
    setStyleSheet(QStringLiteral("QProgressBar { border: 1px solid palette(mid); background: palette(base); }"
                                 "QProgressBar::chunk { background-color: #3cb043; }"));
}

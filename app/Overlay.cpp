#include "app/Overlay.h"
#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

Tsplash::Tsplash(QWidget* covered, QWidget* window) : QWidget(window), covered_(covered)
{
    setObjectName(QStringLiteral("splash"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_NoMousePropagation);
    Label1 =
        new QLabel(QStringLiteral("Для протокола Modbus считывание потока данных не поддерживается"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    QFont font = Label1->font();
    font.setBold(true);
    font.setPixelSize(32);
    Label1->setFont(font);
    QPalette palette = Label1->palette();
    palette.setColor(QPalette::WindowText, QColor(0x80, 0x00, 0x00));
    Label1->setPalette(palette);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(50, 0, 50, 0);
    layout->addWidget(Label1);
    hide();
}

void Tsplash::paintEvent(QPaintEvent*)
{
    QColor face = palette().color(QPalette::Button);
    face.setAlpha(200);
    QPainter(this).fillRect(rect(), face);
}

// While shown, the covered page's controls must not be reachable from the keyboard either
// (the page is enabled again after a search, whatever the protocol).
void Tsplash::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    qApp->installEventFilter(this);
}

void Tsplash::hideEvent(QHideEvent* event)
{
    qApp->removeEventFilter(this);
    QWidget::hideEvent(event);
}

bool Tsplash::IsCovered(QObject* object) const
{
    for (auto* w = qobject_cast<QWidget*>(object); w; w = w->parentWidget())
        if (w == covered_)
            return true;
    return false;
}

bool Tsplash::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        return IsCovered(watched);
    default:
        return false;
    }
}

void Tsplash::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void Tsplash::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void Tsplash::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

void Tsplash::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

void Tsplash::wheelEvent(QWheelEvent* event)
{
    event->accept();
}

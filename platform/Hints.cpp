#include "Hints.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QStatusTipEvent>
#include <QWidget>

namespace kx {

namespace {

QString shortPart(const QString& hint) {
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.left(bar);
}

QString longPart(const QString& hint) {
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.mid(bar + 1);
}

} // namespace

void setHint(QWidget* control, const QString& hint) {
    control->setToolTip(shortPart(hint));
    control->setStatusTip(longPart(hint));
    if (auto* button = qobject_cast<QAbstractButton*>(control); button && button->text().isEmpty())
        button->setAccessibleName(shortPart(hint));
}

void setHint(QAction* item, const QString& hint) {
    item->setToolTip(shortPart(hint));
    item->setStatusTip(longPart(hint));
    if (auto* menu = qobject_cast<QMenu*>(item->parent()))
        menu->setToolTipsVisible(true);
}

StatusHintRouter::StatusHintRouter(QWidget* receiver) : QObject(receiver), m_receiver(receiver) {
    qApp->installEventFilter(this);
}

StatusHintRouter::~StatusHintRouter() {
    qApp->removeEventFilter(this);
}

bool StatusHintRouter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::StatusTip && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() != m_receiver->window()) {
        QStatusTipEvent tip(static_cast<QStatusTipEvent*>(event)->tip());
        QCoreApplication::sendEvent(m_receiver, &tip);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kx

#include "ScreenCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace kx {

namespace {

CursorShape g_shape = CursorShape::Default;
// Whether the override cursor on top of Qt's stack is ours, so set() never pops one that
// some other code pushed.
bool g_overridden = false;

} // namespace

void ScreenCursor::set(CursorShape shape) {
    g_shape = shape;
    // Without a GUI application (tests of the data layer) only the setting is kept.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    if (shape == CursorShape::Default) {
        if (g_overridden)
            QGuiApplication::restoreOverrideCursor();
        g_overridden = false;
        return;
    }
    const QCursor cursor(shape == CursorShape::Busy ? Qt::WaitCursor : Qt::BusyCursor);
    if (g_overridden)
        QGuiApplication::changeOverrideCursor(cursor);
    else
        QGuiApplication::setOverrideCursor(cursor);
    g_overridden = true;
}

CursorShape ScreenCursor::current() {
    return g_shape;
}

CursorScope::CursorScope(CursorShape shape) {
    ScreenCursor::set(shape);
}

CursorScope::~CursorScope() {
    ScreenCursor::set(CursorShape::Default);
}

} // namespace kx

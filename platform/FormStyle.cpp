#include "FormStyle.h"

#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QWidget>

namespace kx {

namespace {

class EnterMovesFocus : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
                auto* w = static_cast<QWidget*>(watched);
                if (QWidget* next = w->nextInFocusChain()) {
                    // Skip what cannot take the focus (labels, frames) and the field's own
                    // parts, such as the line inside an editable drop-down box.
                    while (next != w &&
                           (!(next->focusPolicy() & Qt::TabFocus) || !next->isEnabled() ||
                            !next->isVisible() || w->isAncestorOf(next)))
                        next = next->nextInFocusChain();
                    next->setFocus(Qt::TabFocusReason);
                }
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

bool isEnter(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

void dropDefaults(QWidget* dialog) {
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
}

class EnterPressesFocusedButton : public QObject {
public:
    explicit EnterPressesFocusedButton(QDialog* dialog) : QObject(dialog), m_dialog(dialog) {
        dropDefaults(dialog);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_dialog)
            return false;
        // Buttons added after construction lose their default role before the dialog is
        // shown, which is when the dialog would pick one.
        if (event->type() == QEvent::Show)
            dropDefaults(m_dialog);
        // A key reaches the dialog itself when the focused control left it unused.
        if (event->type() == QEvent::KeyPress && isEnter(static_cast<QKeyEvent*>(event))) {
            QWidget* focus = m_dialog->focusWidget();
            if (qobject_cast<QPushButton*>(focus) || qobject_cast<QToolButton*>(focus)) {
                auto* button = static_cast<QAbstractButton*>(focus);
                if (button->isEnabled() && button->isVisible())
                    button->click();
            }
            return true;
        }
        return false;
    }

private:
    QDialog* m_dialog;
};

} // namespace

void applyDialogLook(QWidget* window, int clientWidth, int clientHeight) {
    window->setFixedSize(clientWidth, clientHeight);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    window->setFont(font);
}

void styleFieldLabel(QLabel* label) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 128));
    label->setPalette(p);
}

void styleValue(QWidget* field) {
    QPalette p = field->palette();
    p.setColor(QPalette::Text, Qt::blue);
    p.setColor(QPalette::WindowText, Qt::blue);
    field->setPalette(p);
}

void centreOnScreen(QWidget* window) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window->move(area.center() - window->rect().center());
    }
}

void moveFocusOnEnter(QWidget* field) {
    field->installEventFilter(new EnterMovesFocus(field));
}

void enterPressesOnlyFocusedButton(QDialog* dialog) {
    dialog->installEventFilter(new EnterPressesFocusedButton(dialog));
}

} // namespace kx

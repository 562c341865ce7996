#include "DoubleClick.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

namespace kx {

namespace {

class DoubleClickFilter : public QObject {
public:
    DoubleClickFilter(QWidget* widget, std::function<void()> action)
        : QObject(widget), m_action(std::move(action)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonDblClick &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            m_action();
        return false;
    }

private:
    std::function<void()> m_action;
};

} // namespace

void onDoubleClick(QWidget* widget, std::function<void()> action) {
    widget->installEventFilter(new DoubleClickFilter(widget, std::move(action)));
}

} // namespace kx

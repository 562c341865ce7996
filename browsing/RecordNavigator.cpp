#include "RecordNavigator.h"

#include "data/query/Query.h"
#include "platform/Hints.h"
#include "policy/CommandRunner.h"

#include <QStyle>
#include <QToolButton>

namespace kx {

RecordNavigator::RecordNavigator(Query& query, Prompter& prompter, QWidget* parent)
    : QWidget(parent), m_query(query), m_prompter(prompter) {
    setObjectName(QStringLiteral("DBNavigator1"));
    struct Button {
        QToolButton** target;
        const char* name;
        QStyle::StandardPixmap icon;
        const char* hint;
        void (RecordNavigator::*handler)();
    };
    const Button buttons[] = {
        {&nbFirst, "nbFirst", QStyle::SP_MediaSkipBackward, "Első rekord !",
         &RecordNavigator::first},
        {&nbPrior, "nbPrior", QStyle::SP_MediaSeekBackward, "Előző rekord !",
         &RecordNavigator::prior},
        {&nbNext, "nbNext", QStyle::SP_MediaSeekForward, "Következő rekord !",
         &RecordNavigator::next},
        {&nbLast, "nbLast", QStyle::SP_MediaSkipForward, "Utolsó rekord !", &RecordNavigator::last},
        {&nbRefresh, "nbRefresh", QStyle::SP_BrowserReload, "Frissítés !",
         &RecordNavigator::refresh},
    };
    int left = 0;
    for (const Button& b : buttons) {
        auto* button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setGeometry(left, 0, 25, 25);
        button->setIcon(style()->standardIcon(b.icon));
        setHint(button, QString::fromUtf8(b.hint)); // also its name: the button is a picture
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QToolButton::clicked, this, b.handler);
        *b.target = button;
        left += 25;
    }
    setFixedSize(left, 25);
    connect(&m_query, &DataSetBase::currentChanged, this, &RecordNavigator::updateButtons);
    connect(&m_query, &Query::rowsAppended, this, &RecordNavigator::updateButtons);
    updateButtons();
}

void RecordNavigator::updateButtons() {
    const bool open = m_query.isOpen();
    const int row = open ? m_query.currentRow() : -1;
    // Rows still being read count as rows further on; nothing is waited for here.
    const int count = open ? m_query.rowsInHand() : 0;
    const bool back = row > 0;
    const bool forward = row >= 0 && (row < count - 1 || m_query.isReading());
    nbFirst->setEnabled(back);
    nbPrior->setEnabled(back);
    nbNext->setEnabled(forward);
    nbLast->setEnabled(forward);
    nbRefresh->setEnabled(open);
}

void RecordNavigator::first() {
    runCommand(m_prompter, [this] { m_query.first(); });
}

void RecordNavigator::prior() {
    runCommand(m_prompter, [this] { m_query.prior(); });
}

void RecordNavigator::next() {
    runCommand(m_prompter, [this] { m_query.next(); });
}

void RecordNavigator::last() {
    runCommand(m_prompter, [this] { m_query.last(); });
}

void RecordNavigator::refresh() {
    runCommand(m_prompter, [this] { m_query.refresh(); });
}

} // namespace kx

#pragma once

#include <QWidget>

class QToolButton;

namespace kx {

class Prompter;
class Query;

// The navigation bar of the record browser over a query: first, previous, next and last
// record, and refresh, which runs the query's statement again. It offers nothing that
// inserts, deletes, edits, posts or cancels.
class RecordNavigator : public QWidget {
    Q_OBJECT
public:
    RecordNavigator(Query& query, Prompter& prompter, QWidget* parent = nullptr);

    QToolButton *nbFirst, *nbPrior, *nbNext, *nbLast, *nbRefresh;

public slots:
    void first();
    void prior();
    void next();
    void last();
    void refresh();

private:
    void updateButtons(); // a move that cannot go anywhere is not offered
    Query& m_query;
    Prompter& m_prompter;
};

} // namespace kx

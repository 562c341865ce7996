#include "data/records/RecordService.h"

#include "data/query/Query.h"
#include "data/records/Columns.h"
#include "data/records/RecordFile.h"
#include "data/records/ShownRecord.h"
#include "data/sql/DbError.h"
#include "data/sql/MariaConnection.h"
#include "data/table/Table.h"
#include "data/text/Latin2.h"

#include <vector>

namespace kx {

namespace {

// The questions of one change, put on the record table for the length of the change; the
// table's own handlers are back afterwards, on every way out.
class QuestionsInForce {
public:
    QuestionsInForce(TableBase& table, const RecordService::Questions& questions) : m_table(table) {
        put(TableOp::Edit, questions.retryLocked);
        put(TableOp::Post, questions.retryRefused);
        put(TableOp::Delete, questions.retryRefused);
    }
    ~QuestionsInForce() {
        for (auto& [op, handler] : m_replaced)
            m_table.setErrorHandler(op, std::move(handler));
    }
    QuestionsInForce(const QuestionsInForce&) = delete;
    QuestionsInForce& operator=(const QuestionsInForce&) = delete;

private:
    void put(TableOp op, const std::function<bool()>& retry) {
        if (!retry)
            return;
        m_replaced.emplace_back(op, m_table.errorHandler(op));
        m_table.setErrorHandler(op, [retry](TableBase&, const DbError&) {
            return retry() ? ErrorAction::Retry : ErrorAction::Abort;
        });
    }

    TableBase& m_table;
    std::vector<std::pair<TableOp, TableBase::ErrorHandler>> m_replaced;
};

} // namespace

RecordService::RecordService(Table& recordTable, Query& recordQuery)
    : m_table(recordTable), m_query(recordQuery) {}

void RecordService::refresh() {
    m_table.refresh();
    // A query closed by a failure runs its own statement again: the search in force stays.
    if (m_query.isOpen() || !m_query.sql().trimmed().isEmpty()) {
        m_query.refresh();
    } else {
        m_query.setSql(allRecordsStatement());
        m_query.open();
    }
}

bool RecordService::hasRecords() {
    return m_query.isOpen() && !m_query.isEmpty(); // the first row is enough
}

bool RecordService::locateByTitle() {
    const QString title = m_query.asString(column::title);
    return m_table.locate(column::title, title, false);
}

bool RecordService::locateByKey(qint64 key) {
    if (key < 0)
        return false;
    if (m_table.currentKey() == key)
        return true;
    return m_table.locate(column::key, QString::number(key), false);
}

bool RecordService::titleTaken(const QString& title, TitleMatch match, qint64 ownKey) {
    return m_table.locate(column::title, title, match == TitleMatch::Beginning) &&
           m_table.currentKey() != ownKey;
}

qint64 RecordService::currentKey() {
    return m_table.currentKey();
}

QString RecordService::currentTitle() {
    return m_table.asString(column::title);
}

RecordFields RecordService::currentRecord() {
    RecordFields r;
    r.title = m_table.asString(column::title);
    r.type = m_table.asString(column::type);
    r.category = m_table.asString(column::category);
    r.keywords = m_table.asString(column::keywords);
    r.reference = m_table.asString(column::reference);
    r.date = m_table.asString(column::date);
    r.recorder = m_table.asString(column::recorder);
    r.fileName = m_table.asString(column::fileName);
    r.description = m_table.asString(column::description);
    r.photo = m_table.asBytes(column::photo);
    return r;
}

void RecordService::insert(const RecordFields& fields, const Questions& questions,
                           const TransferFollower& follow) {
    const QuestionsInForce asking(m_table, questions);
    writeRow(
        [&] {
            m_table.append();
            m_table.setField(column::title, fields.title);
            setFields(fields);
        },
        follow);
}

bool RecordService::update(ShownRecord& shown, qint64 key, const RecordFields& fields,
                           TitleChange title, const Questions& questions,
                           const TransferFollower& follow) {
    if (!locateByKey(key))
        return false;
    const QuestionsInForce asking(m_table, questions);
    shown.change(questions.goOverChange, [&] {
        writeRow(
            [&] {
                m_table.edit();
                if (title == TitleChange::Write)
                    m_table.setField(column::title, fields.title);
                setFields(fields);
            },
            follow);
    });
    return true;
}

bool RecordService::remove(ShownRecord& shown, qint64 key, const Questions& questions) {
    if (!locateByKey(key))
        return false;
    const QuestionsInForce asking(m_table, questions);
    shown.change(questions.goOverChange, [&] { m_table.deleteRecord(); });
    return true;
}

// Runs start (append or edit and the filling of the row), then writes the row. Whatever fails
// on the way, the started row is dropped before the error goes on: a half-filled row is never
// written later by another operation.
void RecordService::writeRow(const std::function<void()>& start, const TransferFollower& follow) {
    try {
        start();
        // Made only now: a file refused while the row was filled never brings a progress.
        const TransferWatch watch(follow ? follow() : TransferWatch::Watcher());
        m_table.post();
    } catch (...) {
        m_table.cancel();
        throw;
    }
}

// TIP, KAT, KSZO, HIV, DATUM, FELVEV, LEIRAS and FOTO in that order, then the file's four
// columns when fields names a file.
void RecordService::setFields(const RecordFields& fields) {
    m_table.setField(column::type, fields.type);
    m_table.setField(column::category, fields.category);
    m_table.setField(column::keywords, fields.keywords);
    m_table.setField(column::reference, fields.reference);
    m_table.setField(column::date, fields.date);
    m_table.setField(column::recorder, fields.recorder);
    m_table.setField(column::description, fields.description);
    m_table.setField(column::photo, fields.photo);
    attachFile(m_table, fields.fileSource, m_table.connection().maxAllowedPacket());
}

int RecordService::search(const QString& answer, SearchColumns columns) {
    const QString sql = answer.isEmpty() ? allRecordsStatement() : searchStatement(answer, columns);
    // Checked before the record query is touched: a refused answer leaves the grid as it was.
    latin2::encode(answer);
    m_query.close();
    m_query.clearSql();
    m_query.setSql(sql);
    try {
        m_query.open();
    } catch (...) {
        // A search that never opened is not the one in force: the next refresh brings every
        // record back.
        m_query.clearSql();
        throw;
    }
    return m_query.recordCount();
}

int RecordService::storedCount() {
    return m_table.recordCount();
}

int RecordService::shownCount() {
    return m_query.isOpen() ? m_query.recordCount() : 0;
}

QString RecordService::hitsText(int hits) {
    return QStringLiteral("Találat: %1.").arg(hits);
}

} // namespace kx

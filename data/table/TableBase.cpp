#include "data/table/TableBase.h"

#include "data/sql/DbError.h"

namespace kx {

// A pending row lives only between append()/edit() and the post() or cancel() that ends it.
// Whatever fails on the way (a refused write, a file that cannot be read, text Latin-2
// cannot store, a handler that throws) cancels it, so a half-filled row is never written
// later by another operation. The caller keeps its own copy of what the user typed (the
// form's controls) and may start again with append()/edit().

namespace {
[[noreturn]] void throwClosed() {
    throw DbError(QStringLiteral("A művelet nem hajtható végre: az adathalmaz nincs megnyitva."));
}
} // namespace

void TableBase::setErrorHandler(TableOp op, ErrorHandler handler) {
    m_handlers[static_cast<int>(op)] = std::move(handler);
}

const TableBase::ErrorHandler& TableBase::errorHandler(TableOp op) const {
    return m_handlers[static_cast<int>(op)];
}

void TableBase::append() {
    if (m_state == TableState::Inactive)
        throwClosed();
    // A change that was never posted is dropped, not written on the way.
    cancel();
    m_state = TableState::Insert;
}

void TableBase::edit() {
    if (m_state == TableState::Inactive)
        throwClosed();
    if (m_state == TableState::Edit)
        return; // already editing this row; keep what was set
    cancel();
    if (isEmpty())
        throw DbError(QStringLiteral("A művelet nem hajtható végre: az adathalmaz üres."));
    runWithHandler(TableOp::Edit, [this] { doEdit(); });
    m_state = TableState::Edit;
}

void TableBase::post() {
    if (m_state == TableState::Inactive)
        throwClosed();
    if (m_state == TableState::Browse)
        return;
    try {
        const TableState s = m_state;
        runWithHandler(TableOp::Post, [this, s] { doPost(s, m_pending); });
    } catch (...) {
        // runWithHandler already cancelled on a database error; anything else (a file that
        // cannot be read, text the store cannot hold) must not leave the row pending either.
        cancel();
        throw;
    }
    m_pending.clear();
    m_state = TableState::Browse;
}

void TableBase::cancel() {
    m_pending.clear();
    pendingDropped();
    if (m_state == TableState::Edit || m_state == TableState::Insert)
        m_state = TableState::Browse;
}

void TableBase::deleteRecord() {
    if (m_state == TableState::Inactive)
        throwClosed();
    cancel();
    if (isEmpty())
        throw DbError(QStringLiteral("A művelet nem hajtható végre: az adathalmaz üres."));
    runWithHandler(TableOp::Delete, [this] { doDelete(); });
}

void TableBase::setField(const QString& field, const QVariant& value) {
    if (m_state != TableState::Edit && m_state != TableState::Insert)
        throw DbError(QStringLiteral("Az adathalmaz nincs szerkesztés vagy felvétel állapotban."));
    for (auto& entry : m_pending)
        if (entry.first.compare(field, Qt::CaseInsensitive) == 0) {
            entry.second = {value, QString(), QString()};
            return;
        }
    m_pending.append({field, {value, QString(), QString()}});
}

void TableBase::setFieldFromFile(const QString& field, const QString& path) {
    if (m_state != TableState::Edit && m_state != TableState::Insert)
        throw DbError(QStringLiteral("Az adathalmaz nincs szerkesztés vagy felvétel állapotban."));
    if (path.isEmpty()) {
        cancel();
        throw DbError(QStringLiteral("Nincs megadva fájl a(z) %1 mezőhöz.").arg(field));
    }
    for (auto& entry : m_pending)
        if (entry.first.compare(field, Qt::CaseInsensitive) == 0) {
            entry.second = {QVariant(), path, QString()};
            return;
        }
    m_pending.append({field, {QVariant(), path, QString()}});
}

void TableBase::setFieldToStreamedLength(const QString& field, const QString& fileField) {
    if (m_state != TableState::Edit && m_state != TableState::Insert)
        throw DbError(QStringLiteral("Az adathalmaz nincs szerkesztés vagy felvétel állapotban."));
    for (auto& entry : m_pending)
        if (entry.first.compare(field, Qt::CaseInsensitive) == 0) {
            entry.second = {QVariant(), QString(), fileField};
            return;
        }
    m_pending.append({field, {QVariant(), QString(), fileField}});
}

void TableBase::runWithHandler(TableOp op, const std::function<void()>& step) {
    const ErrorHandler& handler = m_handlers[static_cast<int>(op)];
    for (;;) {
        try {
            step();
            return;
        } catch (const DbError& err) {
            ErrorAction action = ErrorAction::Fail;
            if (handler) {
                try {
                    action = handler(*this, err);
                } catch (...) {
                    cancel();
                    throw;
                }
            }
            if (action == ErrorAction::Retry)
                continue;
            cancel();
            if (action == ErrorAction::Abort)
                throw SilentAbort{};
            throw;
        }
    }
}

} // namespace kx

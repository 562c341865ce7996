#pragma once

#include "data/dataset/DataSetBase.h"
#include "data/table/PendingRow.h"

#include <QVariant>
#include <functional>

namespace kx {

class DbError;

enum class ErrorAction { Fail, Abort, Retry };
enum class TableState { Inactive, Browse, Edit, Insert };
enum class TableOp { Delete, Edit, Post };

// A whole-table data set in key order with locate, append, edit, post, cancel and delete.
// A failed delete, edit or post goes to the handler of that operation; Retry runs it again
// at once, Abort cancels any pending change and ends the command with SilentAbort, Fail (or no
// handler) cancels and lets the DbError go on.
class TableBase : public DataSetBase {
    Q_OBJECT
public:
    using ErrorHandler = std::function<ErrorAction(TableBase&, const DbError&)>;

    using DataSetBase::DataSetBase;

    void setErrorHandler(TableOp op, ErrorHandler handler);
    const ErrorHandler& errorHandler(TableOp op) const;

    virtual void open() = 0;
    virtual void refresh() = 0; // read again, stay on the current key where it still exists
    TableState state() const {
        return m_state;
    }

    virtual void first() = 0;
    virtual void next() = 0;
    virtual bool eof() = 0;
    // Exact: whole value, case and trailing blanks count. Prefix: the value begins with text.
    virtual bool locate(const QString& field, const QString& value, bool prefix) = 0;

    void append();
    void edit();
    void post();
    void cancel();
    void deleteRecord();

    // Sets a field of the pending row (after append or edit). NULL: a null QVariant.
    void setField(const QString& field, const QVariant& value);
    // Streams a file into a blob field when the row is posted (never held in memory).
    void setFieldFromFile(const QString& field, const QString& path);
    // Sets field to the number of bytes streamed into fileField (set by setFieldFromFile) when
    // the row is posted: the file may have changed since it was chosen, and the row must
    // describe what it holds.
    void setFieldToStreamedLength(const QString& field, const QString& fileField);

protected:
    virtual void doEdit() = 0; // check the row can be edited
    virtual void doPost(TableState state, const PendingRow& values) = 0;
    virtual void doDelete() = 0;
    // Called whenever the pending row is dropped (cancel, a new append or edit, a write that
    // ended without retry), so state kept for a retry of that row goes with it.
    virtual void pendingDropped() {}
    void setState(TableState s) {
        m_state = s;
    }
    PendingRow m_pending;

private:
    void runWithHandler(TableOp op, const std::function<void()>& step);
    ErrorHandler m_handlers[3];
    TableState m_state = TableState::Inactive;
};

} // namespace kx

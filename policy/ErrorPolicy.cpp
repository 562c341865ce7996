#include "ErrorPolicy.h"

#include "data/records/SharedData.h"
#include "data/sql/DbError.h"
#include "data/sql/SqliteConnection.h"
#include "platform/Prompter.h"

namespace kx {

namespace {

// Every failure is offered as another user's lock: Yes tries again at once, No ends the
// command silently (the command runner brings the normal cursor back).
TableBase::ErrorHandler retryHandler(std::function<bool()> retry) {
    return [retry = std::move(retry)](TableBase&, const DbError&) {
        return retry() ? ErrorAction::Retry : ErrorAction::Abort;
    };
}

// Data.db is a local file: only another copy of the program holding it is worth waiting
// for. Anything else (a read-only or damaged file, a full disk) would refuse every retry, so
// it goes on as the error it is and whoever writes the settings says so.
TableBase::ErrorHandler onlyForLocks(TableBase::ErrorHandler handler) {
    return [handler](TableBase& table, const DbError& error) {
        return SqliteConnection::isLockError(error) ? handler(table, error) : ErrorAction::Fail;
    };
}

} // namespace

ErrorPolicy::ErrorPolicy(Prompter& prompter) : m_prompter(prompter) {}

void ErrorPolicy::attachTo(SharedData& data) const {
    // The hook and the handlers keep a copy: the policy is one reference to the prompter.
    const ErrorPolicy policy = *this;
    data.recordStore.setErrorHook(
        [policy](const DbError& error) { policy.showConnectionFailure(error); });
    const auto deleteError = retryHandler([policy] { return policy.retryRefusedDelete(); });
    const auto editError = retryHandler([policy] { return policy.retryLockedRecord(); });
    const auto postError = retryHandler([policy] { return policy.retryRefusedWrite(); });
    TableBase* tables[] = {&data.recordTable, &data.typeTable, &data.categoryTable,
                           &data.resultTable};
    for (TableBase* t : tables) {
        t->setErrorHandler(TableOp::Delete, deleteError);
        t->setErrorHandler(TableOp::Edit, editError);
        t->setErrorHandler(TableOp::Post, postError);
    }
    data.configTable.setErrorHandler(TableOp::Delete, onlyForLocks(deleteError));
    data.configTable.setErrorHandler(TableOp::Edit, onlyForLocks(editError));
    data.configTable.setErrorHandler(TableOp::Post, onlyForLocks(postError));
}

bool ErrorPolicy::retryLockedRecord() const {
    return m_prompter.question(QStringLiteral(
        "Adatrekord nem szerkeszthető (másik felhasználó zárolta) ! Megpróbáljuk újra ?"));
}

bool ErrorPolicy::retryRefusedWrite() const {
    return m_prompter.question(QStringLiteral(
        "Adatok kiírása nem sikerült (másik felhasználó zárolta a táblát) ! Megpróbáljuk újra ?"));
}

bool ErrorPolicy::retryRefusedDelete() const {
    return m_prompter.question(QStringLiteral(
        "Adatrekord nem törölhető (másik felhasználó zárolta) ! Megpróbáljuk újra ?"));
}

bool ErrorPolicy::overwriteChangedRecord() const {
    return m_prompter.question(QStringLiteral(
        "Az adatrekordot időközben egy másik felhasználó módosította ! Felülírjuk ?"));
}

bool ErrorPolicy::deleteChangedRecord() const {
    return m_prompter.question(QStringLiteral(
        "Az adatrekordot időközben egy másik felhasználó módosította ! Mégis töröljük ?"));
}

void ErrorPolicy::showConnectionFailure(const DbError& error) const {
    m_prompter.warning(QStringLiteral("Adatbázis csatlakozási hiba -> ") + error.message());
}

void attachErrorHandlers(SharedData& data, Prompter& prompter) {
    ErrorPolicy(prompter).attachTo(data);
}

} // namespace kx

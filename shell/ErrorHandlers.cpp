#include "ErrorHandlers.h"

#include "data/records/SharedData.h"
#include "data/sql/SqliteConnection.h"
#include "platform/Prompter.h"
#include "platform/ScreenCursor.h"

namespace kx {

namespace {

TableBase::ErrorHandler lockHandler(Prompter& prompter, const QString& question) {
    // Every failure is offered as another user's lock: Yes tries again at once, No ends the
    // command silently with the default cursor.
    return [&prompter, question](TableBase&, const DbError&) {
        if (prompter.question(question))
            return ErrorAction::Retry;
        ScreenCursor::set(CursorShape::Default);
        return ErrorAction::Abort;
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

void attachErrorHandlers(SharedData& data, Prompter& prompter) {
    data.recordStore.setErrorHook([&prompter](const DbError& error) {
        prompter.warning(QStringLiteral("Adatbázis csatlakozási hiba -> ") + error.message());
    });
    const auto deleteError = lockHandler(
        prompter,
        QStringLiteral(
            "Adatrekord nem törölhető (másik felhasználó zárolta) ! Megpróbáljuk újra ?"));
    const auto editError = lockHandler(
        prompter,
        QStringLiteral(
            "Adatrekord nem szerkeszthető (másik felhasználó zárolta) ! Megpróbáljuk újra ?"));
    const auto postError = lockHandler(
        prompter, QStringLiteral("Adatok kiírása nem sikerült (másik felhasználó zárolta a "
                                 "táblát) ! Megpróbáljuk újra ?"));
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

} // namespace kx

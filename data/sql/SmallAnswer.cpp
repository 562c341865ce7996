#include "data/sql/SmallAnswer.h"

#include "data/text/Latin2.h"

#include <errmsg.h>
#include <mysql.h>

namespace kx {

DbError SmallAnswer::tooLarge() {
    return DbError(QStringLiteral("A szerver egy rövid kérdésre a vártnál jóval hosszabb választ "
                                  "küldött; a program a kapcsolatot bontotta."),
                   CR_MALFORMED_PACKET);
}

SmallAnswer SmallAnswer::read(MYSQL* mysql) {
    SmallAnswer answer;
    if (mysql_field_count(mysql) == 0)
        return answer;
    // Unbuffered: the library holds one row at a time, not the whole answer.
    MYSQL_RES* res = mysql_use_result(mysql);
    if (!res) {
        answer.error = DbError(latin2::decode(QByteArray(mysql_error(mysql))), mysql_errno(mysql));
        return answer;
    }
    qsizetype rows = 0;
    qsizetype bytes = 0;
    while (MYSQL_ROW row = mysql_fetch_row(res)) {
        const unsigned n = mysql_num_fields(res);
        const unsigned long* lengths = mysql_fetch_lengths(res);
        for (unsigned i = 0; i < n; ++i)
            bytes += qsizetype(lengths[i]);
        if (++rows > kMaxRows || bytes > kMaxBytes) {
            // Freed without reading the rest of the rows off the connection, which would
            // never end against a server that keeps sending.
            res->handle = nullptr;
            mysql_free_result(res);
            answer.firstRow.clear();
            answer.error = tooLarge();
            answer.abandoned = true;
            return answer;
        }
        if (rows == 1)
            for (unsigned i = 0; i < n; ++i)
                answer.firstRow.push_back(
                    row[i] ? std::optional(QByteArray(row[i], qsizetype(lengths[i])))
                           : std::nullopt);
    }
    if (mysql_errno(mysql))
        answer.error = DbError(latin2::decode(QByteArray(mysql_error(mysql))), mysql_errno(mysql));
    mysql_free_result(res);
    return answer;
}

} // namespace kx

#include "data/records/RecordFile.h"

#include "data/records/Columns.h"
#include "data/table/TableBase.h"

#include <QFile>
#include <QFileInfo>
#include <stdexcept>

namespace kx {

namespace {

// The size is kept as a signed 32-bit count.
constexpr qint64 kLargestFile = 2147483647;
// Room in one row for the statement and the record's other columns beside the file.
constexpr quint64 kRowMargin = 64 * 1024;

[[noreturn]] void refuse(const QString& message) {
    throw std::runtime_error(message.toStdString());
}

// Bytes with groups of three digits, as the user reads them.
QString byteCount(quint64 n) {
    QString digits = QString::number(n);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(' '));
    return digits;
}

} // namespace

QString fileTypeLabel(const QString& fileName) {
    // The extension runs from the last dot of the name itself; a dot in a folder is none.
    const QString name = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return QStringLiteral("Egyéb");
    QString ext = name.mid(dot);
    // Only a to z become capitals; accented letters stay as they are.
    for (QChar& c : ext)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');

    static const struct {
        const char* ext;
        const char* label;
    } labels[] = {
        {".DOC", "MS Word"},
        {".XLS", "MS Excel"},
        {".PPT", "MS PowerPoint"},
        {".DOCX", "MS Word"},
        {".XLSX", "MS Excel"},
        {".PPTX", "MS PowerPoint"},
        {".PDF", "Adobe Acrobat"},
        {".RTF", "Rich Text"},
        {".TXT", "TEXT"},
        {".JPG", "Jpeg kép"},
        {".BMP", "Bmp kép"},
        {".TIF", "Tif kép"},
        {".PNG", "PNG kép"},
        {".HTM", "HTML lap"},
        {".HTML", "HTML lap"},
        {".MSG", "Üzenet"},
        {".PAS", "Delphi / Pascal fájl"},
        {".DPR", "Delphi / Pascal project"},
        {".DPROJ", "Delphi / Pascal project"},
        {".XML", "XML fájl"},
        {".ZIP", "Zip tömörítvény"},
    };
    for (const auto& entry : labels)
        if (ext == QLatin1String(entry.ext))
            return QString::fromUtf8(entry.label);
    return QStringLiteral("Egyéb");
}

void attachFile(TableBase& table, const QString& path, quint64 maxRowBytes) {
    if (path.isEmpty())
        return;
    // A link counts by its target: a dangling link, like a folder, names no file.
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        refuse(QStringLiteral("A fájl nem nyitható meg olvasásra: \"%1\". %2")
                   .arg(path, file.errorString()));
    const qint64 size = file.size();
    file.close();
    if (size > kLargestFile)
        refuse(QStringLiteral("A fájl túl nagy a tároláshoz (legfeljebb %1 bájt) !")
                   .arg(byteCount(kLargestFile)));
    if (quint64(size) + kRowMargin > maxRowBytes)
        refuse(QStringLiteral("A fájl mérete (%1 bájt) meghaladja az adatbázis-kiszolgáló által "
                              "egy rekordban fogadott méretet (%2 bájt) !")
                   .arg(byteCount(quint64(size)), byteCount(maxRowBytes)));

    table.setField(column::fileName, info.fileName());
    table.setField(column::fileType, fileTypeLabel(info.fileName()));
    // Read at the write, in pieces; an empty file goes out as zero bytes, not as NULL. The size
    // is the count of bytes that went out: a file changed since it was chosen (or while a
    // retry question was open) is stored as it is at the write, and FMER describes it.
    table.setFieldToStreamedLength(column::fileSize, column::file);
    table.setFieldFromFile(column::file, path);
}

} // namespace kx

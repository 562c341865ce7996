#pragma once

#include <QString>
#include <QWidget>

class QLineEdit;
class QToolButton;

namespace kx {

class MariaConnection;
class Prompter;
class TableBase;

// The file to attach: the read-only path line fileEdit and the file button chooseFileButton of both
// editing forms.
class AttachedFileField : public QWidget {
    Q_OBJECT
public:
    AttachedFileField(Prompter& prompter, QWidget* parent = nullptr);

    QLineEdit* fileEdit;           // Edit2, the chosen file's path
    QToolButton* chooseFileButton; // SpeedButton1, opens "Tárolandó fájlok:"

    // Empties the line and forgets any choice of this opening; shown is what the line shows
    // (the modification form shows the stored file name, which is never read as a path).
    void reset(const QString& shown = QString());
    QString path() const;
    bool chosenInThisOpening() const;

public slots:
    void chooseFileClicked(); // "Tárolandó fájlok:" dialog; starts at the last chosen file

private:
    Prompter& m_prompter;
    QString m_lastChosen;
    bool m_chosen = false;
};

// The type label of a file name by its extension ("MS Word", ..., "Egyéb").
QString fileTypeLabel(const QString& fileName);

// Sets FNEV, FTIP, FMER and FILE on the row being filled in table from the file at path; the
// content is streamed when the row is written, never held in memory. Does nothing for an empty
// path or one that names no existing file. A file that cannot be read, of 2 GiB or more, or
// larger than the server takes in one row (maxRowBytes) throws std::runtime_error with a plain
// Hungarian message before anything is written.
void attachFile(TableBase& table, const QString& path, quint64 maxRowBytes);

} // namespace kx

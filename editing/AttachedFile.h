#pragma once

// The rules by which the chosen file is stored with its record.
#include "data/records/RecordFile.h"

#include <QString>
#include <QWidget>

class QLineEdit;
class QToolButton;

namespace kx {

class Prompter;

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

} // namespace kx

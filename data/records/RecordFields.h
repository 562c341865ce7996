#pragma once

#include <QByteArray>
#include <QString>

namespace kx {

// One record's values as a window gathers them for a store or shows them after a reading,
// each as it is stored: a form never names the columns that hold them.
struct RecordFields {
    QString title;
    QString type;
    QString category;
    QString keywords;
    QString reference;
    QString recorder;
    QString date;
    QString description; // line breaks as CR LF
    QByteArray photo;    // the stored picture's bytes; empty: none
    // For a store: the path of the file to store with the record; empty stores none (and an
    // update keeps the stored one). A reading leaves it empty.
    QString fileSource;
    // For a reading: the stored file's bare name, never a path. A store ignores it.
    QString fileName;
};

} // namespace kx

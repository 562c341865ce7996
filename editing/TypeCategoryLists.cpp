#include "TypeCategoryLists.h"

#include "StoredLength.h"
#include "data/records/Columns.h"
#include "data/records/SharedData.h"
#include "platform/Prompter.h"
#include "platform/TypedText.h"
#include "policy/GuardedStep.h"

#include <QComboBox>

namespace kx {

namespace {

// Changing a box's items may move its current index and with it the text in the edit line
// (an editable box shows the current item); the typed text is the value and must stay.
class KeepText {
public:
    explicit KeepText(QComboBox* box) : m_box(box), m_text(box->currentText()) {}
    ~KeepText() {
        if (m_box->currentText() != m_text)
            m_box->setEditText(m_text);
    }
    KeepText(const KeepText&) = delete;
    KeepText& operator=(const KeepText&) = delete;

private:
    QComboBox* m_box;
    QString m_text;
};

// TIP of tbl_Data and tbl_Tip, KAT of tbl_Data and tbl_Kat.
constexpr qsizetype kColumnWidth = 150;

} // namespace

TypeCategoryLists::TypeCategoryLists(SharedData& data, Prompter& prompter, QComboBox* types,
                                     QComboBox* categories, ListMatch typeMatch,
                                     ListMatch categoryMatch)
    : m_data(data), m_prompter(prompter), m_types(types), m_categories(categories),
      m_typeMatch(typeMatch), m_categoryMatch(categoryMatch) {}

void TypeCategoryLists::fill() {
    fillBox(m_types, m_data.typeTable, column::type);
    fillBox(m_categories, m_data.categoryTable, column::category);
}

bool TypeCategoryLists::typedTextsFit() {
    if (storedLength(m_types->currentText()) > kColumnWidth) {
        m_prompter.warning(
            QStringLiteral("A típus legfeljebb %1 karakter hosszú lehet !").arg(kColumnWidth));
        return false;
    }
    if (storedLength(m_categories->currentText()) > kColumnWidth) {
        m_prompter.warning(
            QStringLiteral("A kategória legfeljebb %1 karakter hosszú lehet !").arg(kColumnWidth));
        return false;
    }
    return true;
}

void TypeCategoryLists::addTyped() {
    addTypedValue(m_types, m_data.typeTable, column::type, m_typeMatch);
    addTypedValue(m_categories, m_data.categoryTable, column::category, m_categoryMatch);
}

void TypeCategoryLists::fillBox(QComboBox* box, Table& table, const QString& column) {
    KeepText keep(box);
    box->clear();
    // Every row from the first to the last in AZ order, as stored: duplicates stay.
    table.first();
    while (!table.eof()) {
        box->addItem(table.asString(column));
        table.next();
    }
}

void TypeCategoryLists::addTypedValue(QComboBox* box, Table& table, const QString& column,
                                      ListMatch match) {
    const QString typed = box->currentText();
    if (trimBlanks(typed).isEmpty())
        return;
    // A failed lookup has been shown and counts as no match: the value is added.
    const bool found = guardedLookup(
        m_prompter, [&] { return table.locate(column, typed, match == ListMatch::Prefix); });
    if (found)
        return;
    table.append();
    try {
        table.setField(column, typed);
        table.post();
    } catch (...) {
        table.cancel(); // never leave the new row to be written by another operation
        throw;
    }
    KeepText keep(box);
    box->addItem(typed); // at the end of the list at once, without a refill
}

} // namespace kx

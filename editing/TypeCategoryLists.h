#pragma once

#include <QString>

class QComboBox;

namespace kx {

class Prompter;
class Table;
struct SharedData;

// How a typed value is looked up in its list table before it is added: Prefix counts a stored
// value that begins with the typed text, Exact only a stored value equal to it. Letter case
// and accents count in both (the table's lookup compares bytes).
enum class ListMatch { Prefix, Exact };

// The type (ComboBox1 over tbl_Tip) and category (ComboBox2 over tbl_Kat) suggestion lists of
// an editing form, with the match rule each box uses when a typed value is added.
class TypeCategoryLists {
public:
    TypeCategoryLists(SharedData& data, Prompter& prompter, QComboBox* types, QComboBox* categories,
                      ListMatch typeMatch, ListMatch categoryMatch);

    // Rebuilds both lists from typeTable and categoryTable in AZ order; the boxes' texts stay.
    void fill();
    // Whether the typed type and category fit their 150-character columns; the first that
    // does not is named in a warning box. Checked before a store writes anything, so a text
    // the server would refuse never comes back as a question about another user's lock.
    bool typedTextsFit();
    // Adds the boxes' texts to their tables and lists where the lookup finds no match: type
    // first, then category. Texts of blanks only add nothing.
    void addTyped();

    // The single-box steps.
    static void fillBox(QComboBox* box, Table& table, const QString& column);
    void addTypedValue(QComboBox* box, Table& table, const QString& column, ListMatch match);

private:
    SharedData& m_data;
    Prompter& m_prompter;
    QComboBox* m_types;
    QComboBox* m_categories;
    ListMatch m_typeMatch;
    ListMatch m_categoryMatch;
};

} // namespace kx

#pragma once

#include <QDialog>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace kx {

class AttachedFileField;
class PhotoPanel;
class Progress;
class Prompter;
class Table;
class TypeCategoryLists;
enum class ListMatch;
struct SharedData;

// The window that the entry form and the modification form share: the top bar with "Tárol",
// "Elvet", "Befejezés" and the record count, the field panel with its labels, limits, tab
// order and Enter key, and the steps both forms take on it. Each form adds its own showing,
// store and discard.
class RecordForm : public QDialog {
    Q_OBJECT
public:
    ~RecordForm() override;

    // Controls, named as the program knows them.
    QPushButton* BitBtn1;  // "Befejezés"
    QPushButton* BitBtn2;  // "Tárol"
    QPushButton* BitBtn3;  // "Elvet"
    QLabel* Label1;        // "Tárolt rekordok száma"
    QLabel* Label2;        // the record count
    QLineEdit* Edit1;      // Cím
    QComboBox* ComboBox1;  // Típus
    QComboBox* ComboBox2;  // Kategória
    QLineEdit* Edit4;      // Keresőszavak
    QLineEdit* Edit5;      // Hivatkozás
    QLineEdit* Edit6;      // Felvevő
    QLineEdit* Edit7;      // Dátum
    QPlainTextEdit* Memo1; // Leírás
    QLabel* Label11;       // "Fotó" or the colour depth of a loaded picture
    PhotoPanel* photo;
    QLabel* Image1;
    QLabel* Label12; // "Tárolandó fájl"
    AttachedFileField* fileField;
    QLineEdit* Edit2;
    QToolButton* SpeedButton1;

    TypeCategoryLists& lists() {
        return *m_lists;
    }

public slots:
    virtual void FormShow() = 0;
    virtual void BitBtn2Click() = 0; // "Tárol"
    virtual void BitBtn3Click() = 0; // "Elvet"
    void BitBtn1Click();             // "Befejezés": closes, nothing stored or asked

protected:
    RecordForm(SharedData& shared, Prompter& prompter, const QString& objectName,
               const QString& caption, ListMatch categoryMatch, QWidget* parent);

    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Reads the record table and then the record query again under the busy cursor.
    void refreshRecords();
    void showRecordCount();
    // Empties every field, the file line and the photo box.
    void emptyFields();
    // Runs start (append or edit of FDTable1 and the filling of the row), then writes the row.
    // Whatever fails on the way, the started row is dropped and the default cursor is back
    // before the error goes on: a half-filled row is never written later by another operation.
    void writeRecordRow(const std::function<void()>& start);
    // Sets TIP, KAT, KSZO, HIV, DATUM, FELVEV, LEIRAS and FOTO of the row, in that order.
    void setRecordFields(Table& table);
    // FNEV, FTIP, FMER and FILE from the chosen file.
    void attachChosenFile(Table& table);
    std::unique_ptr<Progress> fileProgress(); // null unless a chosen file is over 10 MB

    SharedData& m_data;
    Prompter& m_prompter;
    std::unique_ptr<TypeCategoryLists> m_lists;

private:
    void buildTopBar();
    void buildFieldPanel();
};

} // namespace kx

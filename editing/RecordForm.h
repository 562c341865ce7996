#pragma once

#include "data/records/RecordService.h"
#include "platform/SecondaryWindow.h"
#include "policy/ErrorPolicy.h"

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
class Prompter;
class TypeCategoryLists;
enum class ListMatch;
struct SharedData;

// The window that the entry form and the modification form share: the top bar with "Tárol",
// "Elvet", "Befejezés" and the record count, the field panel with its labels, limits, tab
// order and Enter key, and the steps both forms take on it. Each form adds its own showing,
// store and discard.
class RecordForm : public SecondaryWindow {
    Q_OBJECT
public:
    ~RecordForm() override;

    // Controls; the comment gives each one's object name.
    QPushButton* closeButton;        // BitBtn1, "Befejezés"
    QPushButton* storeButton;        // BitBtn2, "Tárol"
    QPushButton* discardButton;      // BitBtn3, "Elvet"
    QLabel* countCaption;            // Label1, "Tárolt rekordok száma"
    QLabel* countLabel;              // Label2, the record count
    QLineEdit* titleEdit;            // Edit1, "Cím"
    QComboBox* typeBox;              // ComboBox1, "Típus"
    QComboBox* categoryBox;          // ComboBox2, "Kategória"
    QLineEdit* keywordsEdit;         // Edit4, "Keresőszavak"
    QLineEdit* referenceEdit;        // Edit5, "Hivatkozás"
    QLineEdit* recorderEdit;         // Edit6, "Felvevő"
    QLineEdit* dateEdit;             // Edit7, "Dátum"
    QPlainTextEdit* descriptionEdit; // Memo1, "Leírás"
    QLabel* photoCaption;            // Label11, "Fotó" or the colour depth of a loaded picture
    PhotoPanel* photo;               // the photo box with its menu
    QLabel* photoImage;              // Image1, the picture in it
    QLabel* fileCaption;             // Label12, "Tárolandó fájl"
    AttachedFileField* fileField;    // the file line with its chooser
    QLineEdit* fileEdit;             // Edit2, the chosen file's path
    QToolButton* chooseFileButton;   // SpeedButton1, opens "Tárolandó fájlok:"

    TypeCategoryLists& lists() {
        return *m_lists;
    }

public slots:
    virtual void storeClicked() = 0;   // "Tárol"
    virtual void discardClicked() = 0; // "Elvet"
    void closeClicked();               // "Befejezés": closes, nothing stored or asked

protected:
    RecordForm(SharedData& shared, Prompter& prompter, const QString& objectName,
               const QString& caption, ListMatch categoryMatch, QWidget* parent);

    bool eventFilter(QObject* watched, QEvent* event) override;

    // Reads the record table and then the record query again under the busy cursor.
    void refreshRecords();
    void showRecordCount();
    // Empties every field, the file line and the photo box.
    void emptyFields();
    // Whether Leírás, its line breaks stored as CR LF, fits the TEXT column of LEIRAS; if not,
    // a warning box says so. Checked before a store writes anything: the server's refusal
    // would come back as a question about another user's lock that no retry can satisfy.
    bool descriptionFits();
    // What the fields hold, as a store writes it; the file only when chosen in this opening.
    RecordFields typedFields() const;
    // The progress window of a store whose file was chosen in this opening and is over 10 MB.
    RecordService::TransferFollower fileProgress();

    SharedData& m_data;
    Prompter& m_prompter;
    ErrorPolicy m_errors;
    std::unique_ptr<TypeCategoryLists> m_lists;

private:
    void buildTopBar();
    void buildFieldPanel();
};

} // namespace kx

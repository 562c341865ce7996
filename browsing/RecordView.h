#pragma once

#include "platform/Hints.h"
#include "platform/SecondaryWindow.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace kx {

class DataSetBase;
class PhotoView;
class Prompter;

// What the record browser and the deletion form share: a fixed 645 x 576 dialog centred on the
// screen, a command strip along the top with the record counter and the "Befejezés" button,
// and beneath it the read-only fields of one record, labelled and placed alike in both.
class RecordView : public SecondaryWindow {
    Q_OBJECT
public:
    ~RecordView() override;

    // The one-line fields, in tab order, and the object names each window gives its controls.
    enum Field { Title, Type, Category, Keywords, Reference, Recorder, Date, FileName, FieldCount };
    struct Names {
        const char* fields[FieldCount];
        const char* memo;
        const char* image;
    };

    QFrame* commandStrip;     // Panel1, along the top
    QFrame* fieldPanel;       // Panel2, the fields
    QLabel* countCaption;     // Label1, "Tárolt rekordok száma"
    QLabel* countLabel;       // Label2, the record counter
    QPushButton* closeButton; // BitBtn1, "Befejezés"
    PhotoView* photo;         // the photo with its menu
    // The record's fields; the comment gives the object names in the deletion form and in
    // the record browser.
    QLineEdit* titleEdit;            // Edit1 / DBEdit1, "Cím"
    QLineEdit* typeEdit;             // Edit2 / DBEdit2, "Típus"
    QLineEdit* categoryEdit;         // Edit3 / DBEdit3, "Kategória"
    QLineEdit* keywordsEdit;         // Edit4 / DBEdit4, "Keresőszavak"
    QLineEdit* referenceEdit;        // Edit5 / DBEdit5, "Hivatkozás"
    QLineEdit* recorderEdit;         // Edit6 / DBEdit6, "Felvevő"
    QLineEdit* dateEdit;             // Edit7 / DBEdit7, "Dátum"
    QLineEdit* fileNameEdit;         // Edit8 / DBEdit8, "Tárolandó fájl"
    QPlainTextEdit* descriptionEdit; // Memo1 / DBMemo1, "Leírás"
    QLabel* photoImage;              // Image1 / DBImage1, the picture

public slots:
    void closeClicked(); // closes the window, like its close box

protected:
    // framedPhoto: a 286 x 193 picture in a cream frame of 301 x 209; otherwise a bare
    // 293 x 209 picture.
    RecordView(Prompter& prompter, const QString& objectName, const QString& caption,
               const Names& names, bool framedPhoto, QWidget* parent);

    // A picture button of the command strip; hint is "short|long" as the status line shows it.
    QPushButton* addStripButton(const char* name, const QString& caption, const QString& hint,
                                const QIcon& icon, int left);
    void showCount(int count);
    // Empties every field and the photo.
    void emptyFields();
    // Empties the fields, then shows the current record of the data set: CIM, TIP, KAT, KSZO,
    // HIV, DATUM, FELVEV, FNEV, LEIRAS and, last, the photo from FOTO.
    void showRecord(DataSetBase& record);

    QLineEdit* m_fields[FieldCount];
    QPlainTextEdit* m_memo;
    Prompter& m_prompter;

private:
    void buildFieldPanel(const Names& names, bool framedPhoto);
    void buildLineFields(const Names& names);
    void buildMemoAndPhoto(const Names& names, bool framedPhoto);
    void placeFileRow();
};

} // namespace kx

#include "RecordForm.h"

#include "AttachedFile.h"
#include "PhotoPanel.h"
#include "StoredLength.h"
#include "TypeCategoryLists.h"
#include "data/records/SharedData.h"
#include "data/sql/TransferWatch.h"
#include "platform/FormStyle.h"
#include "platform/Progress.h"
#include "platform/Prompter.h"
#include "platform/ScreenCursor.h"
#include "platform/TypedText.h"
#include "policy/RecordRefresh.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

namespace kx {

namespace {

constexpr int kClientWidth = 645;
constexpr int kClientHeight = 576;
constexpr int kTopBarHeight = 41;

// Field panel columns and rows: a label 16 pixels above its control.
constexpr int kLeft = 16;
constexpr int kFullWidth = 613;
constexpr int kLeftWidth = 296;
constexpr int kRight = 328;
constexpr int kRightWidth = 301;
constexpr int kRowStep = 52;
constexpr int kFirstLabel = 10;
constexpr int kLabelToControl = 16;
constexpr int kLineHeight = 21;
constexpr int kBigHeight = 209; // Leírás and the photo frame

// LEIRAS is a TEXT column: 65,535 bytes, one a character in Latin-2.
constexpr qsizetype kDescriptionBytes = 65535;

int labelTop(int row) {
    return kFirstLabel + row * kRowStep;
}
int controlTop(int row) {
    return labelTop(row) + kLabelToControl;
}

QLabel* fieldLabel(QWidget* panel, const QString& caption, int x, int row, int width) {
    auto* label = new QLabel(caption, panel);
    label->setGeometry(x, labelTop(row), width, 14);
    styleFieldLabel(label);
    return label;
}

QLineEdit* lineEdit(QWidget* panel, const char* name, int maxLength) {
    auto* edit = new QLineEdit(panel);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(maxLength);
    styleValue(edit);
    moveFocusOnEnter(edit);
    return edit;
}

QComboBox* comboBox(QWidget* panel, const char* name) {
    auto* box = new QComboBox(panel);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    // The list changes only by the program's own adding, never by Enter in the box, and the
    // text is exactly what was typed: no completion from the suggestions.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    styleValue(box);
    styleValue(box->lineEdit());
    return box;
}

QPushButton* barButton(QWidget* bar, const char* name, const QString& caption, const QString& hint,
                       QStyle::StandardPixmap icon, int x) {
    auto* button = new QPushButton(bar->style()->standardIcon(icon), caption, bar);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(x, 8, 90, 25);
    // The hint goes to the status line only; these buttons show no tooltip.
    button->setStatusTip(hint);
    return button;
}

} // namespace

RecordForm::RecordForm(SharedData& shared, Prompter& prompter, const QString& objectName,
                       const QString& caption, ListMatch categoryMatch, QWidget* parent)
    : SecondaryWindow(objectName, caption, QSize(kClientWidth, kClientHeight), parent),
      m_data(shared), m_prompter(prompter), m_errors(prompter) {
    buildTopBar();
    buildFieldPanel();
    setFocusOnShowing(titleEdit);

    // Both forms look types up by prefix; the category rule is each form's own.
    m_lists = std::make_unique<TypeCategoryLists>(m_data, m_prompter, typeBox, categoryBox,
                                                  ListMatch::Prefix, categoryMatch);

    // Enter in a box moves on like in the one-line fields. The box's own edit line is the
    // next widget in the focus chain, so the move goes through the dialog's tab order.
    typeBox->installEventFilter(this);
    categoryBox->installEventFilter(this);

    const QList<QWidget*> order = {closeButton,  storeButton, discardButton,   titleEdit,
                                   typeBox,      categoryBox, keywordsEdit,    referenceEdit,
                                   recorderEdit, dateEdit,    descriptionEdit, fileEdit};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(closeButton, &QPushButton::clicked, this, &RecordForm::closeClicked);
    connect(storeButton, &QPushButton::clicked, this, &RecordForm::storeClicked);
    connect(discardButton, &QPushButton::clicked, this, &RecordForm::discardClicked);
    enterPressesOnlyFocusedButton(this);
}

RecordForm::~RecordForm() = default;

void RecordForm::buildTopBar() {
    auto* bar = new QFrame(this);
    bar->setObjectName(QStringLiteral("Panel1"));
    bar->setFrameStyle(QFrame::Panel | QFrame::Raised);
    bar->setGeometry(0, 0, kClientWidth, kTopBarHeight);

    storeButton =
        barButton(bar, "BitBtn2", QStringLiteral("Tárol"),
                  QStringLiteral("Megadott adatok tárolása !"), QStyle::SP_DialogSaveButton, 8);
    discardButton = barButton(bar, "BitBtn3", QStringLiteral("Elvet"),
                              QStringLiteral("Megadott adatok elvetése !"),
                              QStyle::SP_DialogDiscardButton, 104);
    closeButton =
        barButton(bar, "BitBtn1", QStringLiteral("Befejezés"), QStringLiteral("Befejezés !"),
                  QStyle::SP_DialogCloseButton, kClientWidth - 98);

    countCaption = new QLabel(QStringLiteral("Tárolt rekordok száma"), bar);
    countCaption->setObjectName(QStringLiteral("Label1"));
    countCaption->setAlignment(Qt::AlignCenter);
    countCaption->setGeometry(200, 5, 245, 14);
    styleFieldLabel(countCaption);
    countLabel = new QLabel(bar);
    countLabel->setObjectName(QStringLiteral("Label2"));
    countLabel->setAlignment(Qt::AlignCenter);
    countLabel->setGeometry(200, 21, 245, 14);
    styleValue(countLabel);
}

void RecordForm::buildFieldPanel() {
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel2"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(0, kTopBarHeight, kClientWidth, kClientHeight - kTopBarHeight);

    titleEdit = lineEdit(panel, "Edit1", 350);
    titleEdit->setGeometry(kLeft, controlTop(0), kFullWidth, kLineHeight);
    fieldLabel(panel, QStringLiteral("Cím"), kLeft, 0, kFullWidth)->setBuddy(titleEdit);

    typeBox = comboBox(panel, "ComboBox1");
    typeBox->setGeometry(kLeft, controlTop(1), kLeftWidth, kLineHeight);
    fieldLabel(panel, QStringLiteral("Típus"), kLeft, 1, kLeftWidth)->setBuddy(typeBox);
    categoryBox = comboBox(panel, "ComboBox2");
    categoryBox->setGeometry(kRight, controlTop(1), kRightWidth, kLineHeight);
    fieldLabel(panel, QStringLiteral("Kategória"), kRight, 1, kRightWidth)->setBuddy(categoryBox);

    keywordsEdit = lineEdit(panel, "Edit4", 750);
    keywordsEdit->setGeometry(kLeft, controlTop(2), kLeftWidth, kLineHeight);
    fieldLabel(panel, QStringLiteral("Keresőszavak"), kLeft, 2, kLeftWidth)->setBuddy(keywordsEdit);
    referenceEdit = lineEdit(panel, "Edit5", 350);
    referenceEdit->setGeometry(kRight, controlTop(2), kRightWidth, kLineHeight);
    fieldLabel(panel, QStringLiteral("Hivatkozás"), kRight, 2, kRightWidth)
        ->setBuddy(referenceEdit);

    recorderEdit = lineEdit(panel, "Edit6", 55);
    recorderEdit->setGeometry(kLeft, controlTop(3), kLeftWidth, kLineHeight);
    fieldLabel(panel, QStringLiteral("Felvevő"), kLeft, 3, kLeftWidth)->setBuddy(recorderEdit);
    dateEdit = lineEdit(panel, "Edit7", 25);
    dateEdit->setGeometry(kRight, controlTop(3), kRightWidth, kLineHeight);
    fieldLabel(panel, QStringLiteral("Dátum"), kRight, 3, kRightWidth)->setBuddy(dateEdit);

    descriptionEdit = new QPlainTextEdit(panel);
    descriptionEdit->setObjectName(QStringLiteral("Memo1"));
    descriptionEdit->setTabChangesFocus(true); // Tab leaves the memo; Enter starts a new line
    descriptionEdit->setGeometry(kLeft, controlTop(4), kLeftWidth, kBigHeight);
    styleValue(descriptionEdit);
    fieldLabel(panel, QStringLiteral("Leírás"), kLeft, 4, kLeftWidth)->setBuddy(descriptionEdit);

    photoCaption = fieldLabel(panel, QStringLiteral("Fotó"), kRight, 4, kRightWidth);
    photoCaption->setObjectName(QStringLiteral("Label11"));
    photo = new PhotoPanel(m_prompter, photoCaption, panel);
    photo->setObjectName(QStringLiteral("Panel3"));
    photo->move(kRight, controlTop(4));
    photoImage = photo->image;

    fileField = new AttachedFileField(m_prompter, panel);
    // The file row comes below Leírás and the photo frame.
    const int fileLabelTop = controlTop(4) + kBigHeight + 12;
    fileField->setGeometry(kLeft, fileLabelTop + kLabelToControl, kFullWidth, 23);
    fileEdit = fileField->fileEdit;
    chooseFileButton = fileField->chooseFileButton;
    styleValue(fileEdit);
    fileCaption = fieldLabel(panel, QStringLiteral("Tárolandó fájl"), kLeft, 0, kFullWidth);
    fileCaption->setObjectName(QStringLiteral("Label12"));
    fileCaption->move(kLeft, fileLabelTop);
    fileCaption->setBuddy(fileEdit);
}

bool RecordForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == typeBox || watched == categoryBox)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers() == Qt::NoModifier) {
            focusNextChild();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void RecordForm::closeClicked() {
    done(QDialog::Rejected);
}

void RecordForm::refreshRecords() {
    refreshUnderBusyCursor(m_data.records);
}

void RecordForm::showRecordCount() {
    countLabel->setText(QString::number(m_data.records.storedCount()));
}

void RecordForm::emptyFields() {
    for (QLineEdit* edit : {titleEdit, keywordsEdit, referenceEdit, recorderEdit, dateEdit})
        edit->clear();
    for (QComboBox* box : {typeBox, categoryBox}) {
        box->setCurrentIndex(-1);
        box->setEditText(QString());
    }
    fileField->reset();
    descriptionEdit->clear();
    photo->clear();
}

bool RecordForm::descriptionFits() {
    if (storedLength(memoText(descriptionEdit)) <= kDescriptionBytes)
        return true;
    m_prompter.warning(QStringLiteral("A leírás legfeljebb %1 karakter hosszú lehet (minden "
                                      "sortörés 2 karakternek számít) !")
                           .arg(kDescriptionBytes));
    return false;
}

RecordFields RecordForm::typedFields() const {
    RecordFields typed;
    typed.title = titleEdit->text();
    typed.type = typeBox->currentText();
    typed.category = categoryBox->currentText();
    typed.keywords = keywordsEdit->text();
    typed.reference = referenceEdit->text();
    typed.date = dateEdit->text();
    typed.recorder = recorderEdit->text();
    typed.description = memoText(descriptionEdit);
    typed.photo = photo->photoBytes();
    // The modification form's line shows the stored file's name until a file is chosen.
    if (fileField->chosenInThisOpening())
        typed.fileSource = fileField->path();
    return typed;
}

RecordService::TransferFollower RecordForm::fileProgress() {
    return [this]() -> TransferWatch::Watcher {
        std::shared_ptr<Progress> progress;
        const QFileInfo info(fileField->path());
        if (fileField->chosenInThisOpening() && info.isFile() && info.size() > kProgressFileBytes)
            progress = m_prompter.progress(QStringLiteral("Fájl tárolása: %1").arg(info.fileName()),
                                           info.size());
        // "Mégse" stops the file before the statement runs: nothing is added or changed.
        return [progress](qint64 sent) { return !progress || progress->step(sent); };
    };
}

} // namespace kx

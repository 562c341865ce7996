#include "RecordForm.h"

#include "AttachedFile.h"
#include "PhotoPanel.h"
#include "RecordText.h"
#include "TypeCategoryLists.h"
#include "data/SharedData.h"
#include "data/TransferWatch.h"
#include "platform/FormStyle.h"
#include "platform/Progress.h"
#include "platform/Prompter.h"
#include "platform/ScreenCursor.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
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
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_data(shared), m_prompter(prompter) {
    setObjectName(objectName);
    setWindowTitle(caption);
    setModal(true);
    applyDialogLook(this, kClientWidth, kClientHeight);
    buildTopBar();
    buildFieldPanel();

    // Both forms look types up by prefix; the category rule is each form's own.
    m_lists = std::make_unique<TypeCategoryLists>(m_data, m_prompter, ComboBox1, ComboBox2,
                                                  ListMatch::Prefix, categoryMatch);

    // Enter in a box moves on like in the one-line fields. The box's own edit line is the
    // next widget in the focus chain, so the move goes through the dialog's tab order.
    ComboBox1->installEventFilter(this);
    ComboBox2->installEventFilter(this);

    const QList<QWidget*> order = {BitBtn1, BitBtn2, BitBtn3, Edit1, ComboBox1, ComboBox2,
                                   Edit4,   Edit5,   Edit6,   Edit7, Memo1,     Edit2};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(BitBtn1, &QPushButton::clicked, this, &RecordForm::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &RecordForm::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &RecordForm::BitBtn3Click);
    enterPressesOnlyFocusedButton(this);
}

RecordForm::~RecordForm() = default;

void RecordForm::buildTopBar() {
    auto* bar = new QFrame(this);
    bar->setObjectName(QStringLiteral("Panel1"));
    bar->setFrameStyle(QFrame::Panel | QFrame::Raised);
    bar->setGeometry(0, 0, kClientWidth, kTopBarHeight);

    BitBtn2 =
        barButton(bar, "BitBtn2", QStringLiteral("Tárol"),
                  QStringLiteral("Megadott adatok tárolása !"), QStyle::SP_DialogSaveButton, 8);
    BitBtn3 = barButton(bar, "BitBtn3", QStringLiteral("Elvet"),
                        QStringLiteral("Megadott adatok elvetése !"),
                        QStyle::SP_DialogDiscardButton, 104);
    BitBtn1 = barButton(bar, "BitBtn1", QStringLiteral("Befejezés"), QStringLiteral("Befejezés !"),
                        QStyle::SP_DialogCloseButton, kClientWidth - 98);

    Label1 = new QLabel(QStringLiteral("Tárolt rekordok száma"), bar);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setGeometry(200, 5, 245, 14);
    styleFieldLabel(Label1);
    Label2 = new QLabel(bar);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setGeometry(200, 21, 245, 14);
    styleValue(Label2);
}

void RecordForm::buildFieldPanel() {
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel2"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(0, kTopBarHeight, kClientWidth, kClientHeight - kTopBarHeight);

    Edit1 = lineEdit(panel, "Edit1", 350);
    Edit1->setGeometry(kLeft, controlTop(0), kFullWidth, kLineHeight);
    fieldLabel(panel, QStringLiteral("Cím"), kLeft, 0, kFullWidth)->setBuddy(Edit1);

    ComboBox1 = comboBox(panel, "ComboBox1");
    ComboBox1->setGeometry(kLeft, controlTop(1), kLeftWidth, kLineHeight);
    fieldLabel(panel, QStringLiteral("Típus"), kLeft, 1, kLeftWidth)->setBuddy(ComboBox1);
    ComboBox2 = comboBox(panel, "ComboBox2");
    ComboBox2->setGeometry(kRight, controlTop(1), kRightWidth, kLineHeight);
    fieldLabel(panel, QStringLiteral("Kategória"), kRight, 1, kRightWidth)->setBuddy(ComboBox2);

    Edit4 = lineEdit(panel, "Edit4", 750);
    Edit4->setGeometry(kLeft, controlTop(2), kLeftWidth, kLineHeight);
    fieldLabel(panel, QStringLiteral("Keresőszavak"), kLeft, 2, kLeftWidth)->setBuddy(Edit4);
    Edit5 = lineEdit(panel, "Edit5", 350);
    Edit5->setGeometry(kRight, controlTop(2), kRightWidth, kLineHeight);
    fieldLabel(panel, QStringLiteral("Hivatkozás"), kRight, 2, kRightWidth)->setBuddy(Edit5);

    Edit6 = lineEdit(panel, "Edit6", 55);
    Edit6->setGeometry(kLeft, controlTop(3), kLeftWidth, kLineHeight);
    fieldLabel(panel, QStringLiteral("Felvevő"), kLeft, 3, kLeftWidth)->setBuddy(Edit6);
    Edit7 = lineEdit(panel, "Edit7", 25);
    Edit7->setGeometry(kRight, controlTop(3), kRightWidth, kLineHeight);
    fieldLabel(panel, QStringLiteral("Dátum"), kRight, 3, kRightWidth)->setBuddy(Edit7);

    Memo1 = new QPlainTextEdit(panel);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setTabChangesFocus(true); // Tab leaves the memo; Enter starts a new line
    Memo1->setGeometry(kLeft, controlTop(4), kLeftWidth, kBigHeight);
    styleValue(Memo1);
    fieldLabel(panel, QStringLiteral("Leírás"), kLeft, 4, kLeftWidth)->setBuddy(Memo1);

    Label11 = fieldLabel(panel, QStringLiteral("Fotó"), kRight, 4, kRightWidth);
    Label11->setObjectName(QStringLiteral("Label11"));
    photo = new PhotoPanel(m_prompter, Label11, panel);
    photo->setObjectName(QStringLiteral("Panel3"));
    photo->move(kRight, controlTop(4));
    Image1 = photo->Image1;

    fileField = new AttachedFileField(m_prompter, panel);
    // The file row comes below Leírás and the photo frame.
    const int fileLabelTop = controlTop(4) + kBigHeight + 12;
    fileField->setGeometry(kLeft, fileLabelTop + kLabelToControl, kFullWidth, 23);
    Edit2 = fileField->Edit2;
    SpeedButton1 = fileField->SpeedButton1;
    styleValue(Edit2);
    Label12 = fieldLabel(panel, QStringLiteral("Tárolandó fájl"), kLeft, 0, kFullWidth);
    Label12->setObjectName(QStringLiteral("Label12"));
    Label12->move(kLeft, fileLabelTop);
    Label12->setBuddy(Edit2);
}

void RecordForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        centreOnScreen(this);
        FormShow();
        Edit1->setFocus();
    }
}

void RecordForm::keyPressEvent(QKeyEvent* event) {
    // Only "Befejezés" and the title bar close the form; Escape does nothing.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool RecordForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == ComboBox1 || watched == ComboBox2)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers() == Qt::NoModifier) {
            focusNextChild();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void RecordForm::BitBtn1Click() {
    done(QDialog::Rejected);
}

void RecordForm::refreshRecords() {
    ScreenCursor::set(CursorShape::Busy);
    m_data.FDTable1.refresh();
    m_data.FDQuery1.refresh();
    ScreenCursor::set(CursorShape::Default);
}

void RecordForm::showRecordCount() {
    Label2->setText(QString::number(m_data.FDTable1.recordCount()));
}

void RecordForm::emptyFields() {
    for (QLineEdit* edit : {Edit1, Edit4, Edit5, Edit6, Edit7})
        edit->clear();
    for (QComboBox* box : {ComboBox1, ComboBox2}) {
        box->setCurrentIndex(-1);
        box->setEditText(QString());
    }
    fileField->reset();
    Memo1->clear();
    photo->clear();
}

void RecordForm::writeRecordRow(const std::function<void()>& start) {
    Table& table = m_data.FDTable1;
    try {
        start();
        // A large file goes to the server under a progress window; "Mégse" stops it before
        // the statement runs, so no row is added and nothing is changed.
        const std::unique_ptr<Progress> progress = fileProgress();
        const TransferWatch watch(
            [&progress](qint64 sent) { return !progress || progress->step(sent); });
        table.post();
    } catch (...) {
        table.cancel();
        ScreenCursor::set(CursorShape::Default);
        throw;
    }
}

void RecordForm::setRecordFields(Table& table) {
    table.setField(QStringLiteral("TIP"), ComboBox1->currentText());
    table.setField(QStringLiteral("KAT"), ComboBox2->currentText());
    table.setField(QStringLiteral("KSZO"), Edit4->text());
    table.setField(QStringLiteral("HIV"), Edit5->text());
    table.setField(QStringLiteral("DATUM"), Edit7->text());
    table.setField(QStringLiteral("FELVEV"), Edit6->text());
    table.setField(QStringLiteral("LEIRAS"), memoText(Memo1));
    table.setField(QStringLiteral("FOTO"), photo->photoBytes());
}

std::unique_ptr<Progress> RecordForm::fileProgress() {
    if (!fileField->chosenInThisOpening())
        return nullptr;
    const QFileInfo info(fileField->path());
    if (!info.isFile() || info.size() <= kProgressFileBytes)
        return nullptr;
    return m_prompter.progress(QStringLiteral("Fájl tárolása: %1").arg(info.fileName()),
                               info.size());
}

void RecordForm::attachChosenFile(Table& table) {
    attachFile(table, fileField->path(), m_data.FDConnection1.maxAllowedPacket());
}

} // namespace kx

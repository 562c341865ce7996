#include "RecordView.h"

#include "PhotoView.h"
#include "data/dataset/DataSetBase.h"
#include "data/records/Columns.h"
#include "platform/FormStyle.h"
#include "platform/TypedText.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

namespace kx {

namespace {

constexpr int kClientWidth = 645;
constexpr int kClientHeight = 576;
constexpr int kStripHeight = 41;

// Field panel: two columns, a label 16 pixels above its control.
constexpr int kLeft = 16;
constexpr int kFullWidth = 613;
constexpr int kLeftWidth = 305;
constexpr int kRight = 328;
constexpr int kRightWidth = 301;
constexpr int kRowStep = 52;
constexpr int kFirstLabel = 10;
constexpr int kLabelToControl = 16;
constexpr int kLineHeight = 21;
constexpr int kBigHeight = 209; // Leírás and the photo

int labelTop(int row) {
    return kFirstLabel + row * kRowStep;
}
int controlTop(int row) {
    return labelTop(row) + kLabelToControl;
}

void addLabel(QWidget* panel, const QString& caption, int x, int top, int width, QWidget* buddy) {
    auto* label = new QLabel(caption, panel);
    label->setGeometry(x, top, width, 14);
    styleFieldLabel(label);
    label->setBuddy(buddy);
}

} // namespace

RecordView::RecordView(Prompter& prompter, const QString& objectName, const QString& caption,
                       const Names& names, bool framedPhoto, QWidget* parent)
    : SecondaryWindow(objectName, caption, QSize(kClientWidth, kClientHeight), parent),
      m_prompter(prompter) {

    commandStrip = new QFrame(this);
    commandStrip->setObjectName(QStringLiteral("Panel1"));
    commandStrip->setFrameStyle(QFrame::Panel | QFrame::Raised);
    commandStrip->setGeometry(0, 0, kClientWidth, kStripHeight);

    countCaption = new QLabel(QStringLiteral("Tárolt rekordok száma"), commandStrip);
    countCaption->setObjectName(QStringLiteral("Label1"));
    countCaption->setAlignment(Qt::AlignCenter);
    countCaption->setGeometry(255, 5, 280, 14);
    styleFieldLabel(countCaption);
    countLabel = new QLabel(commandStrip);
    countLabel->setObjectName(QStringLiteral("Label2"));
    countLabel->setAlignment(Qt::AlignCenter);
    countLabel->setGeometry(255, 21, 280, 14);
    styleValue(countLabel);

    closeButton =
        addStripButton("BitBtn1", QStringLiteral("Befejezés"), QStringLiteral("Befejezés !"),
                       style()->standardIcon(QStyle::SP_DialogCloseButton), kClientWidth - 98);
    connect(closeButton, &QPushButton::clicked, this, &RecordView::closeClicked);

    buildFieldPanel(names, framedPhoto);
    titleEdit = m_fields[Title];
    typeEdit = m_fields[Type];
    categoryEdit = m_fields[Category];
    keywordsEdit = m_fields[Keywords];
    referenceEdit = m_fields[Reference];
    recorderEdit = m_fields[Recorder];
    dateEdit = m_fields[Date];
    fileNameEdit = m_fields[FileName];
    descriptionEdit = m_memo;
    photoImage = photo->image;
    enterPressesOnlyFocusedButton(this);
}

RecordView::~RecordView() = default;

void RecordView::buildFieldPanel(const Names& names, bool framedPhoto) {
    fieldPanel = new QFrame(this);
    fieldPanel->setObjectName(QStringLiteral("Panel2"));
    fieldPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    fieldPanel->setGeometry(0, kStripHeight, kClientWidth, kClientHeight - kStripHeight);
    buildLineFields(names);
    buildMemoAndPhoto(names, framedPhoto);
    placeFileRow();
    // Tab order: the fields row by row, the description before the file line.
    QList<QWidget*> order;
    for (int f = Title; f <= Date; ++f)
        order << m_fields[f];
    order << m_memo << m_fields[FileName];
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

// The one-line fields, with the first four rows placed under their labels.
void RecordView::buildLineFields(const Names& names) {
    for (int f = 0; f < FieldCount; ++f) {
        auto* edit = new QLineEdit(fieldPanel);
        edit->setObjectName(QString::fromLatin1(names.fields[f]));
        edit->setReadOnly(true);
        styleValue(edit);
        moveFocusOnEnter(edit);
        m_fields[f] = edit;
    }
    struct Place {
        Field field;
        const char* caption;
        int x, row, width;
    };
    const Place places[] = {
        {Title, "Cím", kLeft, 0, kFullWidth},
        {Type, "Típus", kLeft, 1, kLeftWidth},
        {Category, "Kategória", kRight, 1, kRightWidth},
        {Keywords, "Keresőszavak", kLeft, 2, kLeftWidth},
        {Reference, "Hivatkozás", kRight, 2, kRightWidth},
        {Recorder, "Felvevő", kLeft, 3, kLeftWidth},
        {Date, "Dátum", kRight, 3, kRightWidth},
    };
    for (const Place& p : places) {
        m_fields[p.field]->setGeometry(p.x, controlTop(p.row), p.width, kLineHeight);
        addLabel(fieldPanel, QString::fromUtf8(p.caption), p.x, labelTop(p.row), p.width,
                 m_fields[p.field]);
    }
}

// Leírás and the photo side by side in the fifth row.
void RecordView::buildMemoAndPhoto(const Names& names, bool framedPhoto) {
    m_memo = new QPlainTextEdit(fieldPanel);
    m_memo->setObjectName(QString::fromLatin1(names.memo));
    m_memo->setReadOnly(true);
    m_memo->setTabChangesFocus(true);
    m_memo->setGeometry(kLeft, controlTop(4), kLeftWidth, kBigHeight);
    styleValue(m_memo);
    addLabel(fieldPanel, QStringLiteral("Leírás"), kLeft, labelTop(4), kLeftWidth, m_memo);

    const QString imageName = QString::fromLatin1(names.image);
    if (framedPhoto) {
        photo = new PhotoView(imageName, QSize(286, 193), true, QSize(301, 209), fieldPanel);
        photo->setObjectName(QStringLiteral("Panel3"));
        photo->move(kRight, controlTop(4));
    } else {
        photo = new PhotoView(imageName, QSize(293, 209), false, QSize(), fieldPanel);
        photo->move(kLeft + kFullWidth - 293, controlTop(4));
    }
    addLabel(fieldPanel, QStringLiteral("Fotó"), photo->x(), labelTop(4), photo->width(), nullptr);
}

// The file row comes below Leírás and the photo.
void RecordView::placeFileRow() {
    const int fileLabelTop = controlTop(4) + kBigHeight + 12;
    m_fields[FileName]->setGeometry(kLeft, fileLabelTop + kLabelToControl, kFullWidth, kLineHeight);
    addLabel(fieldPanel, QStringLiteral("Tárolandó fájl"), kLeft, fileLabelTop, kFullWidth,
             m_fields[FileName]);
}

QPushButton* RecordView::addStripButton(const char* name, const QString& caption,
                                        const QString& hint, const QIcon& icon, int left) {
    auto* button = new QPushButton(icon, caption, commandStrip);
    button->setObjectName(QString::fromLatin1(name));
    if (caption.isEmpty()) {
        button->setGeometry(left, 8, 25, 25);
        button->setFlat(true);
        button->setFocusPolicy(Qt::NoFocus); // a picture button, as on a toolbar
    } else {
        button->setGeometry(left, 8, 90, 25);
    }
    setHint(button, hint);
    return button;
}

void RecordView::closeClicked() {
    done(QDialog::Rejected);
}

void RecordView::showCount(int count) {
    countLabel->setText(QString::number(count));
}

void RecordView::emptyFields() {
    for (QLineEdit* edit : m_fields)
        edit->clear();
    m_memo->clear();
    photo->clear();
}

void RecordView::showRecord(DataSetBase& record) {
    emptyFields();
    const std::pair<Field, QLatin1StringView> texts[] = {
        {Title, column::title},       {Type, column::type},           {Category, column::category},
        {Keywords, column::keywords}, {Reference, column::reference}, {Date, column::date},
        {Recorder, column::recorder}, {FileName, column::fileName},
    };
    for (const auto& [field, column] : texts)
        m_fields[field]->setText(record.asString(column));
    setMemoText(m_memo, record.asString(column::description));
    photo->readPhoto(record.asBytes(column::photo));
}

} // namespace kx

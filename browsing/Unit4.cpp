#include "Unit4.h"

#include "PhotoView.h"
#include "data/SharedData.h"
#include "platform/CommandRunner.h"
#include "platform/GuardedStep.h"
#include "platform/Prompter.h"
#include "platform/ScreenCursor.h"

#include <QIcon>
#include <QPushButton>

namespace kx {

namespace {

const RecordView::Names& deletionNames() {
    static const RecordView::Names names{
        {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit6", "Edit7", "Edit8"},
        "Memo1",
        "Image1"};
    return names;
}

} // namespace

TForm4::TForm4(SharedData& shared, Prompter& prompter, QWidget* parent)
    : RecordView(prompter, QStringLiteral("Form4"), QStringLiteral("Adatrekord törlése:"),
                 deletionNames(), true, parent),
      m_data(shared), m_shownRow(shared.FDTable1, [this] {
          const bool yes = m_prompter.question(QStringLiteral(
              "Az adatrekordot időközben egy másik felhasználó módosította ! Mégis töröljük ?"));
          if (!yes)
              ScreenCursor::set(CursorShape::Default);
          return yes;
      }) {
    Edit1 = m_fields[Title];
    Edit2 = m_fields[Type];
    Edit3 = m_fields[Category];
    Edit4 = m_fields[Keywords];
    Edit5 = m_fields[Reference];
    Edit6 = m_fields[Recorder];
    Edit7 = m_fields[Date];
    Edit8 = m_fields[FileName];
    Memo1 = m_memo;
    Image1 = photo->image;

    BitBtn2 =
        addStripButton("BitBtn2", QStringLiteral("Törlés"), QStringLiteral("Adatrekord törlése !"),
                       QIcon(QStringLiteral(":/icons/edit-delete.png")), 8);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm4::BitBtn2Click);
    setTabOrder(BitBtn2, BitBtn1);
}

void TForm4::FormShow() {
    // Until a record is shown there is nothing this opening may delete.
    m_shownKey = -1;
    m_shownTitle.clear();
    m_shownRow.forget();
    runCommand(m_prompter, [this] {
        photo->setCentred(false);
        photo->setStretched(false);
        emptyFields();
        Table& t = m_data.FDTable1;
        showCount(t.recordCount());
        const qint64 key = t.currentKey();
        if (key < 0)
            return;
        m_shownTitle = t.asString(QStringLiteral("CIM"));
        m_shownKey = key;
        m_shownRow.remember();
        showRecord(t);
    });
}

void TForm4::BitBtn2Click() {
    runCommand(m_prompter, [this] { deleteShownRecord(); });
}

void TForm4::refreshRecords() {
    m_data.FDTable1.refresh();
    m_data.FDQuery1.refresh();
}

// The record shown, found again by its key; it counts only while it still has the title
// shown (whole value, letter case and blanks included). Another record of the same title is
// never taken for it.
bool TForm4::findShownRecord() {
    if (m_shownKey < 0)
        return false;
    Table& t = m_data.FDTable1;
    return guardedLookup(m_prompter, [&] {
        return t.locate(QStringLiteral("AZ"), QString::number(m_shownKey), false) &&
               t.currentKey() == m_shownKey && t.asString(QStringLiteral("CIM")) == m_shownTitle;
    });
}

void TForm4::deleteShownRecord() {
    ScreenCursor::set(CursorShape::Busy);
    refreshRecords();
    ScreenCursor::set(CursorShape::Default);
    if (!findShownRecord()) {
        m_prompter.warning(QStringLiteral("Nem található az adatrekord !"));
        return;
    }

    Table& t = m_data.FDTable1;
    ScreenCursor::set(CursorShape::Busy);
    // A refused delete asks whether to try again; No ends the command here, silently, with
    // the record still shown and the form open.
    m_shownRow.run([&] { t.deleteRecord(); });
    m_shownKey = -1;
    refreshRecords();
    showCount(t.recordCount());
    emptyFields();
    ScreenCursor::set(CursorShape::Default);

    m_prompter.result(QStringLiteral("Adatrekord törlése megtörtént !"));
    done(QDialog::Accepted);
}

} // namespace kx

#include "Unit64.h"

#include "SystemInfoText.h"
#include "platform/CommandRunner.h"
#include "platform/FormStyle.h"
#include "platform/Hints.h"
#include "platform/ProcessorSpeed.h"
#include "platform/ShellRequests.h"
#include "platform/SystemFacts.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>

namespace kx {

namespace {

constexpr int kClientWidth = 305;
constexpr int kClientHeight = 394;

QFont sansSerif8() {
    // Where MS Sans Serif is missing, a font of Arial's metrics keeps the captions within
    // their fields better than the system's wider default.
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Arial"),
                      QStringLiteral("Liberation Sans")});
    font.setPointSize(8);
    return font;
}

void setColour(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    w->setPalette(p);
}

QFrame* bevelledPanel(QWidget* parent, const char* name, const QRect& geometry) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromLatin1(name));
    // A raised inner bevel inside a lowered outer one.
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(1);
    panel->setGeometry(geometry);
    auto* inner = new QFrame(panel);
    inner->setFrameStyle(QFrame::Panel | QFrame::Raised);
    inner->setGeometry(1, 1, geometry.width() - 2, geometry.height() - 2);
    inner->lower();
    return panel;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
              Qt::Alignment alignment) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(geometry);
    l->setAlignment(alignment);
    return l;
}

} // namespace

TAboutBox::TAboutBox(Prompter& prompter, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_prompter(prompter), m_shell(&desktopShell()) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral(" Névjegy:"));
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(sansSerif8());
    buildUpperPanel();
    buildSystemPanel();

    // "Rendben" first: it comes before "MS Info" in the tab order.
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                              QStringLiteral("Rendben"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(189, 362, 100, 25);
    setHint(BitBtn2, QStringLiteral("Befejezés !"));
    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_ComputerIcon),
                              QStringLiteral("MS Info"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(8, 362, 100, 25);
    setHint(BitBtn1, QStringLiteral("Microsoft Rendszerinformáció megjelenítése !"));

    connect(BitBtn1, &QPushButton::clicked, this, &TAboutBox::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TAboutBox::BitBtn2Click);
    enterPressesOnlyFocusedButton(this);
}

const QStringList& TAboutBox::systemInformationTools() {
    static const QStringList tools{QStringLiteral("hardinfo"),
                                   QStringLiteral("gnome-system-monitor")};
    return tools;
}

QString TAboutBox::mailAddress() {
    return QStringLiteral("mailto:kartotex@example.com");
}

QString TAboutBox::webAddress() {
    return QStringLiteral("https://www.example.com/kartotex/");
}

void TAboutBox::setShell(ShellRequests& shell) {
    m_shell = &shell;
}

void TAboutBox::buildUpperPanel() {
    QFrame* panel = bevelledPanel(this, "Panel1", QRect(8, 8, 289, 249));

    ProgramIcon = label(panel, "ProgramIcon", QString(), QRect(2, 6, 49, 49), Qt::AlignCenter);
    ProgramIcon->setPixmap(QPixmap(QStringLiteral(":/icons/kartotex.png"))
                               .scaled(49, 49, Qt::KeepAspectRatio, Qt::SmoothTransformation));

    ProductName = label(panel, "ProductName", QStringLiteral("Kartotex - MySQL"),
                        QRect(63, 16, 218, 73), Qt::AlignCenter);
    QFont arial(QStringLiteral("Arial"));
    arial.setBold(true);
    arial.setPixelSize(21);
    ProductName->setFont(arial);
    ProductName->setWordWrap(true);
    setColour(ProductName, Qt::blue);

    Version = label(panel, "Version", QString(), QRect(63, 95, 218, 17), Qt::AlignCenter);
    setColour(Version, Qt::blue);

    // The maker's contact lines: a name in purple, then five lines in green of which the
    // last two are the addresses that open on a click.
    QLabel* maker = label(panel, "Label1", QStringLiteral("Kartotex Szoftver"),
                          QRect(8, 110, 265, 22), Qt::AlignCenter);
    QFont times(QStringLiteral("Times New Roman"));
    times.setBold(true);
    times.setPixelSize(16);
    maker->setFont(times);
    setColour(maker, QColor(128, 0, 128));

    const struct {
        const char* name;
        const char* text;
        int top;
    } lines[] = {{"Label3", "Nyilvántartó program", 146},
                 {"Label4", "Budapest, Minta utca 1.", 165},
                 {"Label5", "Tel.: +36 1 555 0100", 184},
                 {"Label2", "kartotex@example.com", 203},
                 {"Label15", "www.example.com/kartotex", 222}};
    for (const auto& line : lines) {
        QLabel* l = label(panel, line.name, QString::fromUtf8(line.text),
                          QRect(8, line.top, 265, 13), Qt::AlignCenter);
        setColour(l, QColor(0, 128, 0));
        if (line.top == 203)
            Label2 = l;
        else if (line.top == 222)
            Label15 = l;
    }
    for (QLabel* link : {Label2, Label15}) {
        QFont underlined = link->font();
        underlined.setUnderline(true);
        link->setFont(underlined);
        link->setCursor(Qt::PointingHandCursor);
        link->installEventFilter(this);
    }
    setHint(Label2, QStringLiteral("E-mail küldése a készítőnek !"));
    setHint(Label15, QStringLiteral("Cím behívása böngésző programba !"));
}

void TAboutBox::buildSystemPanel() {
    QFrame* panel = bevelledPanel(this, "Panel2", QRect(8, 263, 289, 93));
    const struct {
        const char* caption;
        const char* name;
        QLabel* TAboutBox::*field;
    } rows[] = {{"Operációs rendszer:", "Label9", &TAboutBox::Label9},
                {"Processzor típusa:", "Label13", &TAboutBox::Label13},
                {"Processzor sebessége:", "Label12", &TAboutBox::Label12},
                {"Fizikai memória:", "Label10", &TAboutBox::Label10},
                {"Memória használatban:", "Label11", &TAboutBox::Label11}};
    int top = 8;
    for (const auto& row : rows) {
        QLabel* caption = label(panel, "", QString::fromUtf8(row.caption), QRect(8, top, 110, 13),
                                Qt::AlignLeft | Qt::AlignVCenter);
        styleFieldLabel(caption);
        // Captions size to their text, so a wider font than planned still shows all of it.
        caption->resize(qMax(caption->width(), caption->sizeHint().width()), caption->height());
        QLabel* value = label(panel, row.name, QString(), QRect(120, top, 153, 13),
                              Qt::AlignRight | Qt::AlignVCenter);
        styleValue(value);
        this->*row.field = value;
        top += 16;
    }
}

void TAboutBox::showEvent(QShowEvent* event) {
    // The values are measured before the box appears.
    if (!event->spontaneous()) {
        centreOnScreen(this);
        FormShow();
    }
    QDialog::showEvent(event);
}

void TAboutBox::FormShow() {
    runCommand(m_prompter, [this] {
        Label9->setText(osVersionText(osVersion()));
        const MemoryStatus memory = memoryStatus();
        Label10->setText(physicalMemoryText(memory.totalBytes));
        Label11->setText(memoryInUseText(memory.loadPercent));
        Label12->setText(processorSpeedText(measureProcessorMHz()));
        Label13->setText(processorTypeText(processorInfo()));
        // A long system or model name does not fit its field; the whole of it is at the mouse.
        for (QLabel* value : {Label9, Label13, Label12, Label10, Label11})
            value->setToolTip(value->text());
        m_tool = m_shell->findProgram(systemInformationTools());
        BitBtn1->setEnabled(!m_tool.isEmpty());
        Version->setText(QStringLiteral("V1.0.0.0"));
    });
}

void TAboutBox::BitBtn1Click() {
    runCommand(m_prompter, [this] {
        if (!m_tool.isEmpty())
            m_shell->start(m_tool);
    });
}

void TAboutBox::BitBtn2Click() {
    done(QDialog::Accepted);
}

void TAboutBox::Label2Click() {
    runCommand(m_prompter, [this] { m_shell->open(mailAddress()); });
}

void TAboutBox::Label15Click() {
    runCommand(m_prompter, [this] { m_shell->open(webAddress()); });
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Label2) {
            Label2Click();
            return true;
        }
        if (watched == Label15) {
            Label15Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace kx

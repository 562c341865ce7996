#include "AboutBox.h"

#include "SystemInfoText.h"
#include "platform/AppIdentity.h"
#include "platform/FormStyle.h"
#include "platform/Hints.h"
#include "platform/ProcessorSpeed.h"
#include "platform/ShellRequests.h"
#include "platform/SystemFacts.h"
#include "policy/CommandRunner.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
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

AboutBox::AboutBox(Prompter& prompter, QWidget* parent)
    // Unlike the other windows, the box closes on Escape, as by its close box.
    : SecondaryWindow(QStringLiteral("AboutBox"), QStringLiteral(" Névjegy:"),
                      QSize(kClientWidth, kClientHeight), parent, TitleBar::CaptionAndButtons,
                      EscapeKey::Closes),
      m_prompter(prompter), m_shell(&desktopShell()) {
    setFont(sansSerif8()); // its own font, not the other windows' Tahoma
    buildUpperPanel();
    buildSystemPanel();

    // "Rendben" first: it comes before "MS Info" in the tab order.
    okButton = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                               QStringLiteral("Rendben"), this);
    okButton->setObjectName(QStringLiteral("BitBtn2"));
    okButton->setGeometry(189, 362, 100, 25);
    setHint(okButton, QStringLiteral("Befejezés !"));
    systemInfoButton = new QPushButton(style()->standardIcon(QStyle::SP_ComputerIcon),
                                       QStringLiteral("MS Info"), this);
    systemInfoButton->setObjectName(QStringLiteral("BitBtn1"));
    systemInfoButton->setGeometry(8, 362, 100, 25);
    setHint(systemInfoButton, QStringLiteral("Microsoft Rendszerinformáció megjelenítése !"));

    connect(systemInfoButton, &QPushButton::clicked, this, &AboutBox::systemInfoClicked);
    connect(okButton, &QPushButton::clicked, this, &AboutBox::okClicked);
    enterPressesOnlyFocusedButton(this);
}

const QStringList& AboutBox::systemInformationTools() {
    static const QStringList tools{QStringLiteral("hardinfo"),
                                   QStringLiteral("gnome-system-monitor")};
    return tools;
}

QString AboutBox::mailAddress() {
    return QStringLiteral("mailto:kartotex@example.com");
}

QString AboutBox::webAddress() {
    return QStringLiteral("https://www.example.com/kartotex/");
}

void AboutBox::setShell(ShellRequests& shell) {
    m_shell = &shell;
}

void AboutBox::buildUpperPanel() {
    QFrame* panel = bevelledPanel(this, "Panel1", QRect(8, 8, 289, 249));

    programIconLabel = label(panel, "ProgramIcon", QString(), QRect(2, 6, 49, 49), Qt::AlignCenter);
    // The dove at the largest size the program carries that fits the 49-pixel box, centred.
    programIconLabel->setPixmap(programIcon().pixmap(QSize(48, 48)));

    productNameLabel = label(panel, "ProductName", QStringLiteral("Kartotex - MySQL"),
                             QRect(63, 16, 218, 73), Qt::AlignCenter);
    QFont arial(QStringLiteral("Arial"));
    arial.setBold(true);
    arial.setPixelSize(21);
    productNameLabel->setFont(arial);
    productNameLabel->setWordWrap(true);
    setColour(productNameLabel, Qt::blue);

    versionLabel = label(panel, "Version", QString(), QRect(63, 95, 218, 17), Qt::AlignCenter);
    setColour(versionLabel, Qt::blue);

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
            mailLine = l;
        else if (line.top == 222)
            webLine = l;
    }
    for (QLabel* link : {mailLine, webLine}) {
        QFont underlined = link->font();
        underlined.setUnderline(true);
        link->setFont(underlined);
        link->setCursor(Qt::PointingHandCursor);
        link->installEventFilter(this);
    }
    setHint(mailLine, QStringLiteral("E-mail küldése a készítőnek !"));
    setHint(webLine, QStringLiteral("Cím behívása böngésző programba !"));
}

void AboutBox::buildSystemPanel() {
    QFrame* panel = bevelledPanel(this, "Panel2", QRect(8, 263, 289, 93));
    const struct {
        const char* caption;
        const char* name;
        QLabel* AboutBox::*field;
    } rows[] = {{"Operációs rendszer:", "Label9", &AboutBox::systemLabel},
                {"Processzor típusa:", "Label13", &AboutBox::processorLabel},
                {"Processzor sebessége:", "Label12", &AboutBox::processorSpeedLabel},
                {"Fizikai memória:", "Label10", &AboutBox::physicalMemoryLabel},
                {"Memória használatban:", "Label11", &AboutBox::memoryInUseLabel}};
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

void AboutBox::prepareShowing() {
    runCommand(m_prompter, [this] {
        systemLabel->setText(osVersionText(osVersion()));
        const MemoryStatus memory = memoryStatus();
        physicalMemoryLabel->setText(physicalMemoryText(memory.totalBytes));
        memoryInUseLabel->setText(memoryInUseText(memory.loadPercent));
        processorSpeedLabel->setText(processorSpeedText(measureProcessorMHz()));
        processorLabel->setText(processorTypeText(processorInfo()));
        // A long system or model name does not fit its field; the whole of it is at the mouse.
        for (QLabel* value : {systemLabel, processorLabel, processorSpeedLabel, physicalMemoryLabel,
                              memoryInUseLabel})
            value->setToolTip(value->text());
        m_tool = m_shell->findProgram(systemInformationTools());
        systemInfoButton->setEnabled(!m_tool.isEmpty());
        versionLabel->setText(QStringLiteral("V1.0.0.0"));
    });
}

void AboutBox::systemInfoClicked() {
    runCommand(m_prompter, [this] {
        if (!m_tool.isEmpty())
            m_shell->start(m_tool);
    });
}

void AboutBox::okClicked() {
    done(QDialog::Accepted);
}

void AboutBox::mailLineClicked() {
    runCommand(m_prompter, [this] { m_shell->open(mailAddress()); });
}

void AboutBox::webLineClicked() {
    runCommand(m_prompter, [this] { m_shell->open(webAddress()); });
}

bool AboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == mailLine) {
            mailLineClicked();
            return true;
        }
        if (watched == webLine) {
            webLineClicked();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace kx

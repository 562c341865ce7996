// The about box: its fixed texts, the values it measures at each showing, the
// system-information tool and the two clickable addresses, and the formats of the values.
#include "about/AboutBox.h"
#include "about/SystemInfoText.h"
#include "platform/ShellRequests.h"
#include "platform/SystemFacts.h"
#include "support/TestApp.h"

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

using namespace kx;
using namespace kx::test;

namespace {

// Records what the box asks of the shell instead of asking it.
class RecordingShell : public ShellRequests {
public:
    void open(const QString& address) override {
        opened << address;
    }
    void start(const QString& program) override {
        started << program;
    }
    QString findProgram(const QStringList& names) const override {
        asked = names;
        return tool;
    }
    QString tool;
    QStringList opened, started;
    mutable QStringList asked;
};

struct Box {
    Box() {
        box = app.mainWindow->findChild<AboutBox*>();
        QVERIFY(box);
        box->setShell(shell);
    }
    TestApp app;
    RecordingShell shell;
    AboutBox* box = nullptr;
};

// Checks that a picture is the program's dove: a light blue figure on a transparent ground.
// Light blue: a sky-blue hue, pale and bright; the outline and the eye are darker blue, and
// most of the figure is the light blue of its body and wings.
void checkDove(const QImage& picture, const QString& where) {
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    QVERIFY2(!image.isNull(), qPrintable(where));
    const int w = image.width(), h = image.height();
    for (QPoint corner : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)})
        QVERIFY2(qAlpha(image.pixel(corner)) == 0, qPrintable(where + QStringLiteral(": corner")));
    int opaque = 0, lightBlue = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QColor c = QColor::fromRgba(image.pixel(x, y));
            if (c.alpha() < 128)
                continue;
            ++opaque;
            if (c.hsvHue() >= 190 && c.hsvHue() <= 220 && c.hsvSaturation() >= 50 &&
                c.hsvSaturation() <= 150 && c.value() >= 200)
                ++lightBlue;
        }
    const QString shares = QStringLiteral("%1: %2 of %3 pixels drawn, %4 of them light blue")
                               .arg(where)
                               .arg(opaque)
                               .arg(w * h)
                               .arg(lightBlue);
    // A figure, not a filled square, and mostly light blue.
    QVERIFY2(opaque > w * h / 5 && opaque < w * h * 4 / 5, qPrintable(shares));
    QVERIFY2(lightBlue > opaque / 2, qPrintable(shares));
}

QStringList texts(const QList<QLabel*>& labels) {
    QStringList out;
    for (QLabel* l : labels)
        out << l->text();
    return out;
}

} // namespace

class AboutBoxTest : public QObject {
    Q_OBJECT
private slots:
    void fixedTexts();
    void showingMeasuresValues();
    void showingAgainMeasuresAfresh();
    void priorityRestoredAfterMeasuring();
    void systemInformationTool_data();
    void systemInformationTool();
    void addressesOpenOnClick();
    void rendbenCloses();
    void openedFromMainWindow();
    void programPictureIsTheDove();
    void memoryText_data();
    void memoryText();
    void speedText_data();
    void speedText();
    void osVersion_data();
    void osVersion();
    void memInfo_data();
    void memInfo();
    void cpuInfo_data();
    void cpuInfo();
};

void AboutBoxTest::fixedTexts() {
    Box b;
    AboutBox* box = b.box;
    QCOMPARE(box->windowTitle(), QStringLiteral(" Névjegy:"));
    QCOMPARE(box->size(), QSize(305, 394));
    QCOMPARE(box->minimumSize(), box->maximumSize());
    QCOMPARE(box->font().family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(box->font().pointSize(), 8);
    QCOMPARE(box->productNameLabel->text(), QStringLiteral("Kartotex - MySQL"));
    QVERIFY(!box->programIconLabel->pixmap().isNull());
    QCOMPARE(box->systemInfoButton->text(), QStringLiteral("MS Info"));
    QCOMPARE(box->systemInfoButton->statusTip(),
             QStringLiteral("Microsoft Rendszerinformáció megjelenítése !"));
    QCOMPARE(box->okButton->text(), QStringLiteral("Rendben"));
    QCOMPARE(box->okButton->statusTip(), QStringLiteral("Befejezés !"));
    // "Rendben" comes before "MS Info" in the tab order. Neither is a default button: Enter
    // presses only the button that has the focus.
    QList<QWidget*> tabOrder;
    for (QWidget* w = box->nextInFocusChain(); w != box; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            tabOrder << w;
    QCOMPARE(tabOrder, (QList<QWidget*>{box->okButton, box->systemInfoButton}));
    QVERIFY(!box->okButton->isDefault() && !box->okButton->autoDefault());
    QVERIFY(!box->systemInfoButton->isDefault() && !box->systemInfoButton->autoDefault());
    QCOMPARE(box->mailLine->statusTip(), QStringLiteral("E-mail küldése a készítőnek !"));
    QCOMPARE(box->webLine->statusTip(), QStringLiteral("Cím behívása böngésző programba !"));
    for (QLabel* link : {box->mailLine, box->webLine}) {
        QVERIFY(link->font().underline());
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
    }

    // The captions of the five values, each left of its value field.
    const QStringList captions{
        QStringLiteral("Operációs rendszer:"), QStringLiteral("Processzor típusa:"),
        QStringLiteral("Processzor sebessége:"), QStringLiteral("Fizikai memória:"),
        QStringLiteral("Memória használatban:")};
    const QList<QLabel*> values{box->systemLabel, box->processorLabel, box->processorSpeedLabel,
                                box->physicalMemoryLabel, box->memoryInUseLabel};
    for (qsizetype i = 0; i < captions.size(); ++i) {
        QLabel* caption = nullptr;
        for (QLabel* l : box->findChildren<QLabel*>())
            if (l->text() == captions[i])
                caption = l;
        QVERIFY2(caption, qPrintable(captions[i]));
        QCOMPARE(caption->y(), values[i]->y());
        QVERIFY(caption->x() < values[i]->x());
        QCOMPARE(values[i]->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    }
    // Empty until the box is shown.
    QCOMPARE(texts(values), QStringList(5, QString()));
}

void AboutBoxTest::showingMeasuresValues() {
    Box b;
    b.shell.tool = QStringLiteral("/usr/bin/hardinfo");
    b.box->show();
    AboutBox* box = b.box;
    QCOMPARE(b.app.prompter.shown, QList<Shown>{});
    QCOMPARE(box->versionLabel->text(), QStringLiteral("V1.0.0.0"));
    QCOMPARE(box->systemLabel->text(), osVersionText(kx::osVersion()));
    QVERIFY2(QRegularExpression(QStringLiteral(R"(^.*  \(\d+\.\d+\.\d+\)$)"))
                 .match(box->systemLabel->text())
                 .hasMatch(),
             qPrintable(box->systemLabel->text()));

    // Memory: whole kilobytes grouped by three with the desktop's own separator; a share
    // from 0 to 100.
    const QLocale regional;
    const QString group = QRegularExpression::escape(regional.groupSeparator());
    const QString memory = box->physicalMemoryLabel->text();
    QVERIFY2(QRegularExpression(QStringLiteral(R"(^\d{1,3}(%1\d{3})* KB$)").arg(group))
                 .match(memory)
                 .hasMatch(),
             qPrintable(memory));
    QVERIFY(memory.chopped(3).remove(regional.groupSeparator()).toLongLong() > 1024);
    const auto inUse =
        QRegularExpression(QStringLiteral(R"(^(\d+) %$)")).match(box->memoryInUseLabel->text());
    QVERIFY2(inUse.hasMatch(), qPrintable(box->memoryInUseLabel->text()));
    QVERIFY(inUse.captured(1).toInt() <= 100);

    // Speed: exactly two decimals after the desktop's decimal sign, a plausible clock.
    const auto speed =
        QRegularExpression(QStringLiteral(R"(^(\d+%1\d\d) MHz$)")
                               .arg(QRegularExpression::escape(regional.decimalPoint())))
            .match(box->processorSpeedLabel->text());
    QVERIFY2(speed.hasMatch(), qPrintable(box->processorSpeedLabel->text()));
    QVERIFY(regional.toDouble(speed.captured(1)) > 10);

    QVERIFY2(QRegularExpression(QStringLiteral(R"(^.+  Rev\. \d+$)"))
                 .match(box->processorLabel->text())
                 .hasMatch(),
             qPrintable(box->processorLabel->text()));
    QCOMPARE(box->processorLabel->text(), processorTypeText(processorInfo()));
    QVERIFY(box->systemInfoButton->isEnabled());
    QCOMPARE(b.shell.asked, AboutBox::systemInformationTools());
    box->close();
}

void AboutBoxTest::showingAgainMeasuresAfresh() {
    Box b;
    b.box->show();
    b.box->close();
    for (QLabel* l : {b.box->systemLabel, b.box->physicalMemoryLabel, b.box->memoryInUseLabel,
                      b.box->processorSpeedLabel, b.box->processorLabel, b.box->versionLabel})
        l->setText(QStringLiteral("régi"));
    b.shell.tool = QStringLiteral("/usr/bin/hardinfo");
    b.box->show();
    for (QLabel* l : {b.box->systemLabel, b.box->physicalMemoryLabel, b.box->memoryInUseLabel,
                      b.box->processorSpeedLabel, b.box->processorLabel, b.box->versionLabel})
        QVERIFY(l->text() != QStringLiteral("régi"));
    QVERIFY(b.box->systemInfoButton->isEnabled()); // the tool is looked for again too
    b.box->close();
}

void AboutBoxTest::priorityRestoredAfterMeasuring() {
    Box b;
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    int policy = -1;
    sched_param param{};
    QCOMPARE(pthread_getschedparam(pthread_self(), &policy, &param), 0);
    b.box->show();
    QCOMPARE(getpriority(PRIO_PROCESS, 0), nice);
    int policyAfter = -1;
    sched_param paramAfter{};
    QCOMPARE(pthread_getschedparam(pthread_self(), &policyAfter, &paramAfter), 0);
    QCOMPARE(policyAfter, policy);
    QCOMPARE(paramAfter.sched_priority, param.sched_priority);
    b.box->close();
}

void AboutBoxTest::systemInformationTool_data() {
    QTest::addColumn<QString>("tool");
    QTest::newRow("installed") << "/usr/bin/hardinfo";
    QTest::newRow("missing") << "";
}

void AboutBoxTest::systemInformationTool() {
    QFETCH(QString, tool);
    Box b;
    b.shell.tool = tool;
    b.box->show();
    QCOMPARE(b.box->systemInfoButton->isEnabled(), !tool.isEmpty());
    QTest::mouseClick(b.box->systemInfoButton, Qt::LeftButton);
    QCOMPARE(b.shell.started, tool.isEmpty() ? QStringList() : QStringList{tool});
    QCOMPARE(b.shell.opened, QStringList{});
    QVERIFY(b.box->isVisible());
    b.box->close();
}

void AboutBoxTest::addressesOpenOnClick() {
    Box b;
    b.box->show();
    QTest::mouseClick(b.box->mailLine, Qt::LeftButton);
    QTest::mouseClick(b.box->webLine, Qt::LeftButton);
    QTest::mouseClick(b.box->productNameLabel, Qt::LeftButton); // not a link
    QCOMPARE(b.shell.opened, (QStringList{AboutBox::mailAddress(), AboutBox::webAddress()}));
    QVERIFY(AboutBox::mailAddress().startsWith(QStringLiteral("mailto:")));
    QVERIFY(AboutBox::webAddress().startsWith(QStringLiteral("https://")));
    QCOMPARE(b.shell.started, QStringList{});
    b.box->close();
}

void AboutBoxTest::rendbenCloses() {
    Box b;
    b.box->show();
    b.box->okButton->click();
    QVERIFY(!b.box->isVisible());
    QCOMPARE(b.box->result(), int(QDialog::Accepted));
}

// The about box shows the dove at 48 pixels in its 49-pixel box; the main window wears it as
// its icon in every size the program carries, and the windows it opens take it from there.
void AboutBoxTest::programPictureIsTheDove() {
    Box b;
    const QImage shown = b.box->programIconLabel->pixmap().toImage();
    QCOMPARE(shown.size(), QSize(48, 48));
    QCOMPARE(b.box->programIconLabel->alignment(), Qt::AlignCenter);
    checkDove(shown, QStringLiteral("about box"));
    const QIcon icon = b.app.mainWindow->windowIcon();
    QCOMPARE(icon.availableSizes(),
             (QList<QSize>{QSize(16, 16), QSize(32, 32), QSize(48, 48), QSize(64, 64),
                           QSize(128, 128), QSize(256, 256)}));
    for (const QSize& size : icon.availableSizes()) {
        const QImage image = icon.pixmap(size).toImage();
        QCOMPARE(image.size(), size);
        checkDove(image, QStringLiteral("window icon %1").arg(size.width()));
    }
    QCOMPARE(
        b.box->windowIcon().pixmap(QSize(48, 48)).toImage().convertToFormat(QImage::Format_ARGB32),
        shown.convertToFormat(QImage::Format_ARGB32));
}

void AboutBoxTest::openedFromMainWindow() {
    Box b;
    ModalCloser closer;
    b.app.mainWindow->aboutButton->click();
    QCOMPARE(closer.opened, QStringList{QStringLiteral("AboutBox")});
    QCOMPARE(b.app.prompter.shown, QList<Shown>{});
    QVERIFY(!b.box->processorSpeedLabel->text().isEmpty());
}

void AboutBoxTest::memoryText_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<QString>("text");
    const QLocale c = QLocale::c();
    const QLocale de(QLocale::German, QLocale::Germany);
    const QLocale hu(QLocale::Hungarian, QLocale::Hungary);
    QTest::newRow("grouped") << c << quint64(24683716) * 1024 << "24,683,716 KB";
    QTest::newRow("regional separator") << de << quint64(24683716) * 1024 << "24.683.716 KB";
    QTest::newRow("hungarian") << hu << quint64(1234567) * 1024
                               << QStringLiteral("1") + hu.groupSeparator() +
                                      QStringLiteral("234") + hu.groupSeparator() +
                                      QStringLiteral("567 KB");
    QTest::newRow("rounded up") << c << quint64(1536) << "2 KB";
    QTest::newRow("rounded down") << c << quint64(1535) << "1 KB";
    QTest::newRow("no digit for zero") << c << quint64(0) << " KB";
}

void AboutBoxTest::memoryText() {
    QFETCH(QLocale, locale);
    QFETCH(quint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(physicalMemoryText(bytes, locale), text);
}

void AboutBoxTest::speedText_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<double>("mhz");
    QTest::addColumn<QString>("text");
    const QLocale de(QLocale::German, QLocale::Germany);
    QTest::newRow("two decimals, no grouping") << QLocale::c() << 2596.1403 << "2596.14 MHz";
    QTest::newRow("regional decimal") << de << 2596.1463 << "2596,15 MHz";
    QTest::newRow("whole") << QLocale::c() << 1000.0 << "1000.00 MHz";
}

void AboutBoxTest::speedText() {
    QFETCH(QLocale, locale);
    QFETCH(double, mhz);
    QFETCH(QString, text);
    QCOMPARE(processorSpeedText(mhz, locale), text);
    QCOMPARE(memoryInUseText(37), QStringLiteral("37 %"));
}

void AboutBoxTest::osVersion_data() {
    QTest::addColumn<QByteArray>("osRelease");
    QTest::addColumn<QString>("system");
    QTest::addColumn<QString>("release");
    QTest::addColumn<QString>("text");
    QTest::newRow("distribution and kernel")
        << QByteArray("PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian "
                      "GNU/Linux\"\nVERSION_ID=\"12\"\n")
        << "Linux"
        << "6.1.0-18-amd64"
        << "Debian GNU/Linux  (6.1.0)";
    QTest::newRow("no os-release") << QByteArray() << "Linux"
                                   << "5.10"
                                   << "Linux  (5.10.0)";
    QTest::newRow("nothing known") << QByteArray() << ""
                                   << ""
                                   << "  (0.0.0)";
    QTest::newRow("percent in the name") << QByteArray("NAME=Sys%2\n") << "Linux"
                                         << "6.18.44-fc"
                                         << "Sys%2  (6.18.44)";
}

void AboutBoxTest::osVersion() {
    QFETCH(QByteArray, osRelease);
    QFETCH(QString, system);
    QFETCH(QString, release);
    QFETCH(QString, text);
    QCOMPARE(osVersionText(parseOsVersion(osRelease, system, release)), text);
}

void AboutBoxTest::memInfo_data() {
    QTest::addColumn<QByteArray>("memInfo");
    QTest::addColumn<quint64>("total");
    QTest::addColumn<int>("load");
    QTest::newRow("available given")
        << QByteArray("MemTotal:     1000 kB\nMemFree:       100 kB\nMemAvailable:   250 kB\n")
        << quint64(1024000) << 75;
    QTest::newRow("older kernel")
        << QByteArray("MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 50 kB\nCached: 250 kB\n")
        << quint64(1024000) << 60;
    QTest::newRow("unreadable") << QByteArray() << quint64(0) << 0;
}

void AboutBoxTest::memInfo() {
    QFETCH(QByteArray, memInfo);
    QFETCH(quint64, total);
    QFETCH(int, load);
    const MemoryStatus s = parseMemInfo(memInfo);
    QCOMPARE(s.totalBytes, total);
    QCOMPARE(s.loadPercent, load);
}

void AboutBoxTest::cpuInfo_data() {
    QTest::addColumn<QByteArray>("cpuInfo");
    QTest::addColumn<QString>("text");
    QTest::newRow("x86") << QByteArray("processor\t: 0\nvendor_id\t: AuthenticAMD\ncpu "
                                       "family\t: 25\nmodel\t\t: 17\nmodel name\t: AMD  "
                                       "EPYC\nstepping\t: 1\ncpu MHz\t\t: 2596.140\n\nprocessor\t: "
                                       "1\nmodel name\t: Other\nstepping\t: 9\n")
                         << "AMD EPYC  Rev. 1";
    QTest::newRow("arm") << QByteArray("processor\t: 0\nBogoMIPS\t: 48.00\nCPU implementer\t: "
                                       "0x41\nCPU part\t: 0xd08\nCPU revision\t: 3\n")
                         << "aarch64  Rev. 3";
    QTest::newRow("unreadable") << QByteArray() << "aarch64  Rev. 0";
}

void AboutBoxTest::cpuInfo() {
    QFETCH(QByteArray, cpuInfo);
    QFETCH(QString, text);
    QCOMPARE(processorTypeText(parseCpuInfo(cpuInfo, QStringLiteral("aarch64"))), text);
}

QTEST_MAIN(AboutBoxTest)
#include "tst_aboutbox.moc"

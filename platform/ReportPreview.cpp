#include "ReportPreview.h"

#include "FormStyle.h"
#include "Hints.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace kx {

namespace {

constexpr double kMinZoom = 0.5;
constexpr double kMaxZoom = 16.0;
constexpr double kZoomStep = 1.25;
constexpr int kPageGap = 12; // grey border around the page, in pixels

QToolButton* toolButton(QWidget* parent, const QString& name, const QString& tip, const QIcon& icon,
                        const QString& text = QString()) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setAutoRaise(true);
    b->setIcon(icon);
    b->setText(text);
    setHint(b, tip); // after the text: a button without one is named by its tip
    if (!icon.isNull() && !text.isEmpty())
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    else if (icon.isNull())
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return b;
}

} // namespace

// The sheet of paper on show; it paints through the dialog, which owns the laid-out page.
class ReportPreview::PageView : public QWidget {
public:
    explicit PageView(ReportPreview* owner) : QWidget(nullptr), m_owner(owner) {
        setObjectName(QStringLiteral("PageView"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        m_owner->paintView(painter);
    }

private:
    ReportPreview* m_owner;
};

ReportPreview::ReportPreview(Report& report, int pageCount, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      m_report(report), m_pages(qMax(1, pageCount)) {
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(report.title().isEmpty()
                       ? QStringLiteral("Nyomtatási kép")
                       : QStringLiteral("Nyomtatási kép - %1").arg(report.title()));
    setModal(true);

    QWidget* bar = buildButtonBar();
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("PreviewArea"));
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_view = new PageView(this);
    m_scroll->setWidget(m_view);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_scroll, 1);

    connectButtons();
    placeOnScreen();
    setZoom(m_zoom);
    updateControls();
    enterPressesOnlyFocusedButton(this);
}

// The buttons above the page: moving between pages, the zoom, printing, saving, closing.
QWidget* ReportPreview::buildButtonBar() {
    auto* bar = new QWidget(this);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(4, 2, 4, 2);
    barLayout->setSpacing(2);
    QStyle* s = style();
    FirstButton = toolButton(bar, QStringLiteral("FirstButton"), QStringLiteral("Első oldal"),
                             s->standardIcon(QStyle::SP_MediaSkipBackward));
    PriorButton = toolButton(bar, QStringLiteral("PriorButton"), QStringLiteral("Előző oldal"),
                             s->standardIcon(QStyle::SP_MediaSeekBackward));
    PageLabel = new QLabel(bar);
    PageLabel->setObjectName(QStringLiteral("PageLabel"));
    PageLabel->setAlignment(Qt::AlignCenter);
    PageLabel->setMinimumWidth(110);
    NextButton = toolButton(bar, QStringLiteral("NextButton"), QStringLiteral("Következő oldal"),
                            s->standardIcon(QStyle::SP_MediaSeekForward));
    LastButton = toolButton(bar, QStringLiteral("LastButton"), QStringLiteral("Utolsó oldal"),
                            s->standardIcon(QStyle::SP_MediaSkipForward));
    WholePageButton =
        toolButton(bar, QStringLiteral("WholePageButton"), QStringLiteral("Teljes oldal"), QIcon(),
                   QStringLiteral("Teljes oldal"));
    ZoomInButton = toolButton(bar, QStringLiteral("ZoomInButton"), QStringLiteral("Nagyítás"),
                              QIcon(), QStringLiteral("+"));
    ZoomOutButton = toolButton(bar, QStringLiteral("ZoomOutButton"), QStringLiteral("Kicsinyítés"),
                               QIcon(), QStringLiteral("-"));
    PrintButton = toolButton(bar, QStringLiteral("PrintButton"), QStringLiteral("Nyomtatás"),
                             QIcon(), QStringLiteral("Nyomtatás"));
    SaveButton = toolButton(bar, QStringLiteral("SaveButton"), QStringLiteral("Mentés PDF fájlba"),
                            s->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("Mentés"));
    CloseButton = toolButton(bar, QStringLiteral("CloseButton"), QStringLiteral("Bezárás"), QIcon(),
                             QStringLiteral("Bezárás"));
    for (QWidget* w : {static_cast<QWidget*>(FirstButton), static_cast<QWidget*>(PriorButton),
                       static_cast<QWidget*>(PageLabel), static_cast<QWidget*>(NextButton),
                       static_cast<QWidget*>(LastButton)})
        barLayout->addWidget(w);
    barLayout->addSpacing(12);
    barLayout->addWidget(WholePageButton);
    barLayout->addWidget(ZoomInButton);
    barLayout->addWidget(ZoomOutButton);
    barLayout->addSpacing(12);
    barLayout->addWidget(PrintButton);
    barLayout->addWidget(SaveButton);
    barLayout->addStretch(1);
    barLayout->addWidget(CloseButton);
    return bar;
}

void ReportPreview::connectButtons() {
    connect(FirstButton, &QToolButton::clicked, this, &ReportPreview::firstPage);
    connect(PriorButton, &QToolButton::clicked, this, &ReportPreview::priorPage);
    connect(NextButton, &QToolButton::clicked, this, &ReportPreview::nextPage);
    connect(LastButton, &QToolButton::clicked, this, &ReportPreview::lastPage);
    connect(WholePageButton, &QToolButton::clicked, this, &ReportPreview::fitWholePage);
    connect(ZoomInButton, &QToolButton::clicked, this, &ReportPreview::zoomIn);
    connect(ZoomOutButton, &QToolButton::clicked, this, &ReportPreview::zoomOut);
    connect(PrintButton, &QToolButton::clicked, this, &ReportPreview::printReport);
    connect(SaveButton, &QToolButton::clicked, this, &ReportPreview::savePdf);
    connect(CloseButton, &QToolButton::clicked, this, &QDialog::accept);
}

// A normal window, as large as a comfortable view of the page allows, in the screen's middle.
void ReportPreview::placeOnScreen() {
    QSize size(820, 940);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect free = screen->availableGeometry();
        size = size.boundedTo(free.size() * 0.9);
        resize(size);
        move(free.center() - rect().center());
    } else {
        resize(size);
    }
}

ReportPreview::~ReportPreview() = default;

QSize ReportPreview::pageViewSize() const {
    return m_view->size();
}

QSize ReportPreview::viewportSize() const {
    return m_scroll->viewport()->size();
}

void ReportPreview::guarded(const std::function<void()>& step) {
    if (m_failure)
        return;
    try {
        step();
    } catch (...) {
        // Qt's event loop must not see it: the caller of exec() gets it instead.
        m_failure = std::current_exception();
        // Closed from the event loop, not from inside the paint or click that failed.
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
    }
}

void ReportPreview::paintView(QPainter& painter) {
    painter.fillRect(m_view->rect(), palette().color(QPalette::Dark));
    guarded([&] {
        if (!m_page || m_page->number != m_index + 1)
            m_page = m_report.layoutPage(m_index);
        const QSizeF paper = m_report.paperSize();
        painter.translate(kPageGap, kPageGap);
        painter.scale(m_zoom, m_zoom);
        painter.fillRect(QRectF(QPointF(0, 0), paper), Qt::white);
        Report::paint(*m_page, painter);
    });
}

void ReportPreview::setZoom(double zoom) {
    m_zoom = qBound(kMinZoom, zoom, kMaxZoom);
    const QSizeF paper = m_report.paperSize();
    m_view->setFixedSize(int(paper.width() * m_zoom) + 2 * kPageGap,
                         int(paper.height() * m_zoom) + 2 * kPageGap);
    m_view->update();
}

void ReportPreview::fitWholePage() {
    m_wholePage = true;
    const QSize room = m_scroll->viewport()->size() - QSize(2 * kPageGap, 2 * kPageGap);
    const QSizeF paper = m_report.paperSize();
    setZoom(qMin(room.width() / paper.width(), room.height() / paper.height()));
}

void ReportPreview::zoomIn() {
    m_wholePage = false;
    setZoom(m_zoom * kZoomStep);
}

void ReportPreview::zoomOut() {
    m_wholePage = false;
    setZoom(m_zoom / kZoomStep);
}

void ReportPreview::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_wholePage)
        fitWholePage();
}

void ReportPreview::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (m_wholePage)
        fitWholePage();
}

void ReportPreview::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_PageDown:
        nextPage();
        break;
    case Qt::Key_PageUp:
        priorPage();
        break;
    case Qt::Key_Home:
        firstPage();
        break;
    case Qt::Key_End:
        lastPage();
        break;
    default:
        QDialog::keyPressEvent(event);
    }
}

void ReportPreview::showPage(int index) {
    const int page = qBound(0, index, m_pages - 1);
    if (page == m_index)
        return;
    m_index = page;
    m_page.reset();
    m_scroll->verticalScrollBar()->setValue(0);
    updateControls();
    m_view->update();
}

void ReportPreview::firstPage() {
    showPage(0);
}

void ReportPreview::priorPage() {
    showPage(m_index - 1);
}

void ReportPreview::nextPage() {
    showPage(m_index + 1);
}

void ReportPreview::lastPage() {
    showPage(m_pages - 1);
}

void ReportPreview::updateControls() {
    PageLabel->setText(QStringLiteral("%1. oldal / %2").arg(m_index + 1).arg(m_pages));
    FirstButton->setEnabled(m_index > 0);
    PriorButton->setEnabled(m_index > 0);
    NextButton->setEnabled(m_index + 1 < m_pages);
    LastButton->setEnabled(m_index + 1 < m_pages);
}

void ReportPreview::printReport() {
    guarded([this] {
        QPrinter printer(QPrinter::HighResolution);
        m_report.configurePrinter(printer);
        bool accepted = false;
        if (askPrinter) {
            accepted = askPrinter(printer);
        } else {
            QPrintDialog dialog(&printer, this);
            dialog.setOption(QAbstractPrintDialog::PrintToFile);
            // The range offered is the report's own pages; printing honours it.
            dialog.setOption(QAbstractPrintDialog::PrintPageRange);
            dialog.setMinMax(1, m_pages);
            accepted = dialog.exec() == QDialog::Accepted;
        }
        if (accepted)
            m_report.print(printer);
    });
}

void ReportPreview::savePdf() {
    guarded([this] {
        QString path;
        if (askPdfPath) {
            path = askPdfPath();
        } else {
            const QString proposed =
                (m_report.title().isEmpty() ? QStringLiteral("Kartotex") : m_report.title()) +
                QStringLiteral(".pdf");
            path = QFileDialog::getSaveFileName(this, QStringLiteral("Mentés PDF fájlba"), proposed,
                                                QStringLiteral("PDF fájl (*.pdf)"));
            if (!path.isEmpty() && !path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
                path += QStringLiteral(".pdf");
        }
        if (!path.isEmpty())
            m_report.writePdf(path);
    });
}

} // namespace kx

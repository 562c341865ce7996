#pragma once

#include "ReportEngine.h"

#include <QDialog>
#include <exception>
#include <functional>
#include <optional>

class QLabel;
class QPrinter;
class QScrollArea;
class QToolButton;

namespace kx {

// The modal preview of a report: one page at a time, painted on demand from the report's own
// page layout (so a list of any length costs one page), zoomed to show the whole page at
// first, with page stepping, zooming, printing and saving as PDF. An error while painting,
// printing or saving closes the window; the caller gets it from failure().
class ReportPreview : public QDialog {
    Q_OBJECT
public:
    ReportPreview(Report& report, int pageCount, QWidget* parent = nullptr);
    ~ReportPreview() override;

    int pageIndex() const {
        return m_index;
    }
    int pageCount() const {
        return m_pages;
    }
    double zoom() const { // screen pixels per millimetre
        return m_zoom;
    }
    bool wholePage() const {
        return m_wholePage;
    }
    std::exception_ptr failure() const {
        return m_failure;
    }
    QSize pageViewSize() const;
    QSize viewportSize() const;

    // Where to save; unset: a save dialog that proposes a PDF file. An empty answer cancels.
    std::function<QString()> askPdfPath;
    // Lets the user set up the printer; unset: the print dialog. False cancels.
    std::function<bool(QPrinter&)> askPrinter;

    QToolButton *FirstButton, *PriorButton, *NextButton, *LastButton;
    QToolButton *WholePageButton, *ZoomInButton, *ZoomOutButton;
    QToolButton *PrintButton, *SaveButton, *CloseButton;
    QLabel* PageLabel;

public slots:
    void showPage(int index);
    void firstPage();
    void priorPage();
    void nextPage();
    void lastPage();
    void fitWholePage();
    void zoomIn();
    void zoomOut();
    void printReport();
    void savePdf();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    class PageView;
    friend class PageView;

    QWidget* buildButtonBar();
    void connectButtons();
    void placeOnScreen();
    void paintView(QPainter& painter);
    void setZoom(double zoom);
    void updateControls();
    void guarded(const std::function<void()>& step);

    Report& m_report;
    int m_pages;
    int m_index = 0;
    double m_zoom = 2.0;
    bool m_wholePage = true;
    std::optional<ReportPage> m_page; // the page on show, laid out once
    std::exception_ptr m_failure;
    QScrollArea* m_scroll = nullptr;
    PageView* m_view = nullptr;
};

} // namespace kx

// The print report window: shows the skin's "print.htm" (or "print.baidu.htm" for the second map
// kind) filled with the recording's pictures, the facts of the moment, the street address, the map
// and the memo typed below it. "Print" lets the page print itself through the system print dialog;
// "Save as PDF" writes the report to a PDF file the user names. Run by the print command.
#pragma once

#include "core/network/ReverseGeocoder.h"
#include "core/tools/ReportMoment.h"
#include "ui/dataout/DataOutCommands.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

class BrowserHost;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;

class PrintReportWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kBrowserId = 1107;
    static constexpr int kMemoLabelId = 1260;
    static constexpr int kMemoId = 1261;

    // What the page shows besides the job: the moment's data, the speed unit (1 km/h, 2 mile/h,
    // 3 knots), the map tiles and the graph pictures (empty: no graph).
    struct Content {
        ReportMoment moment;
        int speedUnit = 1;
        QString tileTemplate;
        QString tileAttribution;
        QString tileCoords = QStringLiteral("wgs84"); // "gcj02": the tiles of mainland China's datum
        QString speedGraph;
        QString gsensorGraph;
    };

    // `geocoder` outlives the window; one per program, so its cache and its pace span every report.
    PrintReportWindow(const DataOutCommands::PrintJob& job, Content content, ReverseGeocoder& geocoder,
              QWidget* parent = nullptr);
    ~PrintReportWindow() override;

    // The tiles of the stored map kind, as the map panel uses them (MapSourceFor).
    static void tilesFromSettings(Content& content);

    // Writes the report as a PDF (A4) to `path`, whole or not at all; pdfSaved follows.
    void savePdf(const QString& path);
    // Where "Save as PDF" asks for the file; replaced by tests. Empty for Cancel.
    void setPdfChooser(std::function<QString()> chooser) { m_choosePdf = std::move(chooser); }

    BrowserHost* page() const { return m_page; }
    QPushButton* printButton() const { return m_print; }
    QPushButton* closeButton() const { return m_close; }
    QPushButton* pdfButton() const { return m_pdf; }
    QLineEdit* memo() const { return m_memo; }
    QLabel* memoLabel() const { return m_memoLabel; }

signals:
    // Every page function has been called and the address has come (or failed).
    void reportFilled();
    void pdfSaved(const QString& path, bool ok);

private:
    void onPageLoaded(bool ok);
    void onPrintRequested();
    void savePdfAsked();
    void addressDone();

    DataOutCommands::PrintJob m_job;
    Content m_content;
    ReverseGeocoder& m_geocoder;
    BrowserHost* m_page = nullptr;
    QPushButton* m_print = nullptr;
    QPushButton* m_pdf = nullptr;
    QPushButton* m_close = nullptr;
    QLabel* m_memoLabel = nullptr;
    QLineEdit* m_memo = nullptr;
    std::function<QString()> m_choosePdf;
    std::unique_ptr<QPrinter> m_printer; // kept between prints: the user's choices stay
    bool m_printing = false;
    bool m_filled = false;
    int m_waiting = 0; // page steps and the address still to come
};

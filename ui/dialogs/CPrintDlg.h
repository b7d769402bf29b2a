// The print report window: shows the skin's "print.htm" (or "print.baidu.htm" for the second map
// kind) filled with the recording's pictures, the facts of the moment, the street address, the map
// and the memo typed below it. "Print" lets the page print itself through the system print dialog;
// "Save as PDF" writes the report to a PDF file the user names. Run by the print command.
#pragma once

#include "core/network/ReverseGeocoder.h"
#include "core/tools/ReportMoment.h"
#include "ui/tools/DataOutCommands.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

class BrowserHost;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;

class CPrintDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kBrowserId = 1107;
    static constexpr int kMemoLabelId = 1260;
    static constexpr int kMemoId = 1261;
    static constexpr const char* kDefaultTiles = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";

    // What the page shows besides the job: the moment's data, the speed unit (1 km/h, 2 mile/h,
    // 3 knots), the map tiles and the graph pictures (empty: no graph).
    struct Content {
        ReportMoment moment;
        int speedUnit = 1;
        QString tileTemplate;
        QString tileAttribution;
        QString speedGraph;
        QString gsensorGraph;
    };

    CPrintDlg(const DataOutCommands::PrintJob& job, Content content, ReverseGeocoder::Options geocoder,
              QWidget* parent = nullptr);
    ~CPrintDlg() override;

    // The tiles of the map kind ("map" setting 2 is the second kind) from the settings "maptiles"
    // and "maptiles2" ("off" for none), OpenStreetMap's by default.
    static void TilesFromSettings(Content& content);

    // Writes the report as a PDF (A4) to `path`, whole or not at all; pdfSaved follows.
    void SavePdf(const QString& path);
    // Where "Save as PDF" asks for the file; replaced by tests. Empty for Cancel.
    void setPdfChooser(std::function<QString()> chooser) { m_choosePdf = std::move(chooser); }

    BrowserHost* Page() const { return m_page; }
    QPushButton* PrintButton() const { return m_print; }
    QPushButton* CloseButton() const { return m_close; }
    QPushButton* PdfButton() const { return m_pdf; }
    QLineEdit* Memo() const { return m_memo; }
    QLabel* MemoLabel() const { return m_memoLabel; }

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
    ReverseGeocoder* m_geocoder;
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

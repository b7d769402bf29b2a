#include "ui/dataout/PrintReportWindow.h"

#include "core/common/FileReplace.h"
#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"
#include "ui/page/BrowserHost.h"
#include "ui/map/MapSource.h"
#include "ui/map/MapTileScheme.h"

#include <QBoxLayout>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPointer>
#include "ui/widgets/WindowPlacement.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

PrintReportWindow::PrintReportWindow(const DataOutCommands::PrintJob& job, Content content, ReverseGeocoder& geocoder,
                     QWidget* parent)
    : QDialog(parent), m_job(job), m_content(std::move(content)), m_geocoder(geocoder) {
    setObjectName(QStringLiteral("printDlg"));
    setWindowTitle(QStringLiteral("Print"));
    // 860 x 900 where the screen has room; on a laptop the window fits the screen's height (the
    // page scrolls) so that the memo and the buttons stay in reach.
    resize(FitToScreen(QSize(860, 900), AvailableGeometryOf(parent), QMargins(1, 24, 1, 1)));
    const bool korean = GetInstallerLanguage() == "korean";

    m_page = new BrowserHost(this);
    m_page->setObjectName(QStringLiteral("printPage"));
    m_print = new QPushButton(korean ? QStringLiteral("인쇄") : QStringLiteral("Print"), this);
    m_print->setObjectName(QStringLiteral("btnPrint"));
    m_pdf = new QPushButton(korean ? QStringLiteral("PDF로 저장") : QStringLiteral("Save as PDF"), this);
    m_pdf->setObjectName(QStringLiteral("btnPdf"));
    m_close = new QPushButton(korean ? QStringLiteral("닫기") : QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("btnClose"));
    m_memoLabel = new QLabel(korean ? QStringLiteral("메모") : QStringLiteral("Memo :"), this);
    m_memo = new QLineEdit(this);
    m_memo->setObjectName(QStringLiteral("memo"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_memoLabel);
    bottom->addWidget(m_memo, 1);
    bottom->addWidget(m_print);
    bottom->addWidget(m_pdf);
    bottom->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_page, 1);
    layout->addLayout(bottom);

    connect(m_print, &QPushButton::clicked, this, [this] { m_page->callScript(QStringLiteral("pp")); });
    connect(m_pdf, &QPushButton::clicked, this, &PrintReportWindow::savePdfAsked);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_memo, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_page->callScript(QStringLiteral("setMemo"), QStringList{text});
    });
    connect(m_page, &BrowserHost::pageLoaded, this, &PrintReportWindow::onPageLoaded);
    connect(m_page, &QWebEngineView::printRequested, this, &PrintReportWindow::onPrintRequested);
    connect(m_page, &QWebEngineView::printFinished, this, [this](bool ok) {
        m_printing = false;
        if (!ok)
            qInfo() << "printing the report failed";
    });

    m_choosePdf = [this] {
        return QFileDialog::getSaveFileName(this, QString::fromStdString(LString("PRINT_TITLE_PDF")),
                                            QDir(QString::fromStdString(StartFolderFor("pdf")))
                                                .filePath(QFileInfo(m_job.fileName).completeBaseName() +
                                                          QStringLiteral(".pdf")),
                                            QStringLiteral("PDF (*.pdf)"));
    };
    m_page->navigate(ReadSetting("map") == "2" ? QStringLiteral("print.baidu.htm")
                                               : QStringLiteral("print.htm"));
}

PrintReportWindow::~PrintReportWindow() = default;

void PrintReportWindow::tilesFromSettings(Content& content) {
    // The report's map asks the program for its tiles (map files, cache, tile server), as the
    // map panel does.
    PrepareMapTiles();
    const MapSource source = MapSourceFor(StoredMapKind());
    content.tileTemplate = MapTileTemplate(StoredMapKind());
    content.tileAttribution = source.attribution;
    content.tileCoords = source.coords;
}

void PrintReportWindow::onPageLoaded(bool ok) {
    if (!ok)
        qInfo() << "the print page did not load completely";
    const ReportMoment& m = m_content.moment;
    const QString lat = QString::asprintf("%lf", m.latitude);
    const QString lon = QString::asprintf("%lf", m.longitude);
    m_page->callScript(QStringLiteral("initInfo"), QStringList{m_job.company, m_job.vehicle, m_job.driver});
    m_page->callScript(QStringLiteral("initFilename"), QStringList{m_job.fileName});
    m_page->callScript(QStringLiteral("initImage"),
                       QStringList{m_job.imageBase, QString::number(m_job.imageCount)});
    if (GetInstallerLanguage() == "korean")
        m_page->callScript(QStringLiteral("initLanguage"));
    m_page->callScript(QStringLiteral("setPos"), QStringList{QString::number(m_job.positionMs)});
    m_page->callScript(
        QStringLiteral("setSpeed"),
        QStringList{QString::fromStdString(FormatReportSpeed(m.speedKnots, m_content.speedUnit))});
    m_page->callScript(QStringLiteral("setDate"), QStringList{QString::fromStdString(m.timeText)});
    m_page->callScript(QStringLiteral("setTiles"),
                       QStringList{m_content.tileTemplate, m_content.tileAttribution});
    QJsonArray track;
    for (const auto& [a, o] : m.track)
        track.append(QJsonArray{a, o});
    m_page->callScript(QStringLiteral("setTrack"),
                       QStringList{QString::fromUtf8(QJsonDocument(track).toJson(QJsonDocument::Compact))});
    // The speed and G-sensor pictures come from the panels' renderers; until the command has
    // them, both paths are empty and the page leaves the graph row out.
    m_page->callScript(QStringLiteral("setGraphs"),
                       QStringList{m_content.speedGraph, m_content.gsensorGraph});
    if (!m_memo->text().isEmpty())
        m_page->callScript(QStringLiteral("setMemo"), QStringList{m_memo->text()});
    m_page->callScript(QStringLiteral("DrawCurrent"),
                       m.hasPosition ? QStringList{lat, lon}
                                     : QStringList{QStringLiteral("0"), QStringLiteral("0")});
    m_page->callScript(QStringLiteral("DrawAll"));
    m_waiting = 2;
    m_page->callScript(QStringLiteral("loadScript"), [this](const QVariant&) { addressDone(); });
    if (m.hasPosition) {
        // The answer may come after this window has closed: it is only used while the window lives.
        m_geocoder.lookup(m.latitude, m.longitude,
                          [self = QPointer<PrintReportWindow>(this)](const QString& address) {
                              if (!self)
                                  return;
                              self->m_page->callScript(QStringLiteral("setAddress"), QStringList{address},
                                                       [self](const QVariant&) {
                                                           if (self)
                                                               self->addressDone();
                                                       });
                          });
    } else {
        addressDone(); // no position, no address: the report is otherwise whole
    }
}

void PrintReportWindow::addressDone() {
    if (--m_waiting == 0 && !m_filled) {
        m_filled = true;
        emit reportFilled();
    }
}

void PrintReportWindow::onPrintRequested() {
    // The page asked to be printed (pp); the print dialog opens without blocking the page.
    if (m_printing)
        return;
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setPageSize(QPageSize(QPageSize::A4));
    }
    auto* dialog = new QPrintDialog(m_printer.get(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, this, [this](int result) {
        if (result != QDialog::Accepted)
            return;
        m_printing = true;
        m_page->print(m_printer.get());
    });
    dialog->open();
}

void PrintReportWindow::savePdfAsked() {
    const QString path = m_choosePdf ? m_choosePdf() : QString();
    if (!path.isEmpty()) {
        RememberSaveFolder("pdf", path.toStdString());
        savePdf(path);
    }
}

void PrintReportWindow::savePdf(const QString& path) {
    const QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                             QPageLayout::Millimeter);
    m_page->page()->printToPdf(
        [this, path](const QByteArray& pdf) {
            // Written by the safe writer: a failure leaves no half-written PDF, a link planted at
            // its temporary name is not followed and a device is not replaced.
            const std::string error =
                pdf.isEmpty() ? std::string("no PDF was made")
                              : ReplaceFileContents(path.toStdString(), std::string_view(pdf.constData(), pdf.size()));
            const bool ok = error.empty();
            if (!ok) {
                qInfo() << "cannot write the report PDF" << path << QString::fromStdString(error);
                auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Quillent"),
                                            QString::fromStdString(LString("PRINT_MSG_PDF_FAILED")),
                                            QMessageBox::Ok, this);
                box->setAttribute(Qt::WA_DeleteOnClose);
                box->open();
            }
            emit pdfSaved(path, ok);
        },
        layout);
}

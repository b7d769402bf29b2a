#include "ui/dialogs/SearchPageWindow.h"

#include "core/config/ViewerConfig.h"
#include "core/recordings/ListText.h"
#include "core/recordings/RecordingScanner.h"
#include "ui/page/BrowserHost.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QWebEnginePage>

SearchPageWindow::SearchPageWindow(const RecordingScanner& scanner, QWidget* parent)
    : PageWindow(QStringLiteral("search"), QSize(kWidth, kHeight), kDispDoSearchHandler,
                 &BridgeHost::searchWindow, Frame::TitleBand, parent),
      m_scanner(scanner) {
    setWindowTitle(QString::fromStdString(LString("SEARCH_LBL_TITLE")));
    connect(page(), &BrowserHost::pageLoaded, this, &SearchPageWindow::fillPage);
    page()->navigate(QStringLiteral("search.htm"));
}

SearchPageWindow::~SearchPageWindow() = default;

void SearchPageWindow::fillPage(bool ok) {
    if (!ok)
        return;
    page()->callScript(QStringLiteral("initLanguage"),
                       QStringList{QString::fromStdString(GetInstallerLanguage())});
    // One callListInsert per entry, in list order, sent in one script so that thousands of
    // recordings arrive without a round trip each.
    QJsonArray rows;
    for (const RecordingEntry& e : m_scanner.Entries()) {
        rows.append(QJsonArray{QString::fromStdString(e.name),
                               QString::fromStdString(FormatListDate(e.localCreation)),
                               QString::fromStdString(FormatSearchSize(e.sizeKiB))});
    }
    const QString script =
        QStringLiteral("(function(rows){if(typeof callListInsert!=='function')return -1;"
                       "for(var i=0;i<rows.length;i++)callListInsert(rows[i][0],rows[i][1],rows[i][2]);"
                       "return rows.length;})(%1)")
            .arg(QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Compact)));
    page()->page()->runJavaScript(script, [this](const QVariant&) { emit listFilled(); });
}

void SearchPageWindow::handleCommand(const QString& name, const QString& value) {
    if (name == QLatin1String("btnFilename")) {
        m_chosen = value.toStdString();
        accept();
    } else if (name == QLatin1String("btnOkey")) {
        accept();
    } else if (name == QLatin1String("btnCancel")) {
        reject();
    }
}

std::string RunSearchPage(QWidget* parent, const RecordingScanner& scanner) {
    SearchPageWindow dlg(scanner, parent);
    dlg.exec();
    return dlg.chosenName();
}

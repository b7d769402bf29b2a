#include "ui/dialogs/CSearchDlg.h"

#include "core/config/ViewerConfig.h"
#include "core/recordings/ListText.h"
#include "core/recordings/RecordingScanner.h"
#include "ui/bridge/BrowserHost.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QWebEnginePage>

CSearchDlg::CSearchDlg(const RecordingScanner& scanner, QWidget* parent)
    : PageWindow(QStringLiteral("search"), QSize(kWidth, kHeight), kDispDoSearchHandler,
                 &BridgeHost::SearchWindow, Frame::TitleBand, parent),
      m_scanner(scanner) {
    const bool korean = GetInstallerLanguage() == "korean";
    setWindowTitle(korean ? QStringLiteral("검색") : QStringLiteral("Search"));
    connect(Page(), &BrowserHost::pageLoaded, this, &CSearchDlg::fillPage);
    Page()->Navigate(QStringLiteral("search.htm"));
}

CSearchDlg::~CSearchDlg() = default;

void CSearchDlg::fillPage(bool ok) {
    if (!ok)
        return;
    Page()->CallScript(QStringLiteral("initLanguage"),
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
    Page()->page()->runJavaScript(script, [this](const QVariant&) { emit listFilled(); });
}

void CSearchDlg::HandleCommand(const QString& name, const QString& value) {
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
    CSearchDlg dlg(scanner, parent);
    dlg.exec();
    return dlg.ChosenName();
}

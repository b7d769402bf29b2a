#include "ui/dialogs/CSearchDlg.h"

#include "core/config/ViewerConfig.h"
#include "core/recordings/ListText.h"
#include "core/recordings/RecordingScanner.h"
#include "ui/bridge/BrowserHost.h"
#include "ui/controls/CWBCButton.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <QWebEnginePage>

CSearchDlg::CSearchDlg(const RecordingScanner& scanner, QWidget* parent)
    : QDialog(parent), m_scanner(scanner) {
    setObjectName(QStringLiteral("searchDlg"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(kWidth, kHeight);
    const bool korean = GetInstallerLanguage() == "korean";
    setWindowTitle(korean ? QStringLiteral("검색") : QStringLiteral("Search"));

    m_close = new CWBCButton(this);
    m_close->setObjectName(QStringLiteral("btnClose"));
    m_close->SetBitmaps(145, 147, 146);
    m_close->setGeometry(kWidth - 65 - 2, 2, 65, 28);
    connect(m_close, &QAbstractButton::clicked, this, &QDialog::reject);

    m_page = new BrowserHost(this);
    m_page->setObjectName(QStringLiteral("searchPage"));
    m_page->setGeometry(0, kHeaderHeight, kWidth, kHeight - kHeaderHeight);
    connect(m_page, &BrowserHost::pageLoaded, this, &CSearchDlg::fillPage);
    // The page's answers arrive through the bridge; the main window routes them here while it holds
    // this window as its search window, otherwise they are taken from the bridge directly.
    connect(m_page->Bridge(), &ScriptBridge::invoked, this,
            [this](int dispid, const QString& name, const QVariant& value) {
                if (dispid != kDispDoSearchHandler)
                    return;
                BridgeHost* host = ScriptBridge::MainWindow();
                if (!host || host->SearchWindow() != this)
                    HandleCommand(name, CommandValueToString(value));
            });
    m_page->Navigate(QStringLiteral("search.htm"));
}

CSearchDlg::~CSearchDlg() = default;

void CSearchDlg::fillPage(bool ok) {
    if (!ok)
        return;
    m_page->CallScript(QStringLiteral("initLanguage"),
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
    m_page->page()->runJavaScript(script, [this](const QVariant&) { emit listFilled(); });
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

void CSearchDlg::showEvent(QShowEvent* e) {
    const QRect area = parentWidget()
                           ? parentWidget()->window()->frameGeometry()
                           : (screen() ? screen()->availableGeometry() : QRect(0, 0, kWidth, kHeight));
    move(area.center() - rect().center());
    QDialog::showEvent(e);
}

void CSearchDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QLinearGradient band(0, 0, 0, kHeaderHeight);
    band.setColorAt(0, QColor(62, 62, 62));
    band.setColorAt(1, QColor(30, 30, 30));
    p.fillRect(QRect(0, 0, kWidth, kHeaderHeight), band);
    p.fillRect(QRect(0, kHeaderHeight - 2, kWidth, 2), QColor(0, 168, 255));
    QFont f(QStringLiteral("Calibri"));
    f.setPixelSize(16);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(14, 0, kWidth - 100, kHeaderHeight - 2), Qt::AlignVCenter | Qt::AlignLeft,
               windowTitle());
}

void CSearchDlg::mousePressEvent(QMouseEvent* e) {
    // The header strip drags the window.
    if (e->button() == Qt::LeftButton && e->position().y() < kHeaderHeight && windowHandle())
        windowHandle()->startSystemMove();
    QDialog::mousePressEvent(e);
}

std::string RunSearchPage(QWidget* parent, const RecordingScanner& scanner) {
    CSearchDlg dlg(scanner, parent);
    dlg.exec();
    return dlg.ChosenName();
}

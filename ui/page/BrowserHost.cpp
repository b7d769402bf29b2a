#include "ui/page/BrowserHost.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

namespace {
bool g_printMode = false;
QString g_skinFolder;

QString readResource(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        qWarning() << "missing resource" << path;
        return {};
    }
    return QString::fromUtf8(f.readAll());
}

// The web channel client plus our window.external, injected before any page script runs.
const QString& externalScript() {
    static const QString source = readResource(QStringLiteral(":/qtwebchannel/qwebchannel.js")) +
                                  QStringLiteral("\n") + readResource(QStringLiteral(":/shell/external.js"));
    return source;
}

} // namespace

static void initShellResourcesOnce() {
    Q_INIT_RESOURCE(shell);
}

void initShellResources() {
    static const bool done = [] {
        initShellResourcesOnce();
        return true;
    }();
    (void)done;
}

BrowserHost::BrowserHost(QWidget* parent) : QWebEngineView(parent) {
    initShellResources();
    setContextMenuPolicy(Qt::NoContextMenu);
    settings()->setAttribute(QWebEngineSettings::ShowScrollBars, g_printMode);
    settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);

    m_bridge = new ScriptBridge(this);
    m_channel = new QWebChannel(this);
    m_channel->registerObject(QStringLiteral("quillentBridge"), m_bridge);
    page()->setWebChannel(m_channel, QWebEngineScript::MainWorld);

    QWebEngineScript script;
    script.setName(QStringLiteral("quillent-external"));
    script.setSourceCode(externalScript());
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(true);
    page()->scripts().insert(script);

    connect(this, &QWebEngineView::loadStarted, this, [this] {
        m_documentReady = false;
        settings()->setAttribute(QWebEngineSettings::ShowScrollBars, g_printMode);
    });
    connect(this, &QWebEngineView::loadFinished, this, [this](bool ok) {
        m_documentReady = true;
        emit pageLoaded(ok);
    });
}

BrowserHost::~BrowserHost() = default;

void BrowserHost::navigate(const QString& skinRelativePath) {
    load(QUrl::fromLocalFile(skinFolder() + QLatin1Char('/') + skinRelativePath));
}

void BrowserHost::callScript(const QString& functionName, ScriptResult done) {
    callWithArgs(functionName, {}, std::move(done));
}

void BrowserHost::callScript(const QString& functionName, const QStringList& args, ScriptResult done) {
    QVariantList list;
    for (const QString& a : args)
        list << a;
    callWithArgs(functionName, list, std::move(done));
}

void BrowserHost::callScript(const QString& functionName, const QString& text, int number,
                             ScriptResult done) {
    callScript(functionName, QStringList{text, QString::number(number)}, std::move(done));
}

void BrowserHost::callScript(const QString& functionName, const QList<int>& numbers, ScriptResult done) {
    QVariantList list;
    for (int n : numbers)
        list << n;
    callWithArgs(functionName, list, std::move(done));
}

void BrowserHost::callWithArgs(const QString& functionName, const QVariantList& args, ScriptResult done) {
    if (!m_documentReady)
        return;
    const QString name =
        QString::fromUtf8(QJsonDocument(QJsonArray{functionName}).toJson(QJsonDocument::Compact));
    const QString argv =
        QString::fromUtf8(QJsonDocument(QJsonArray::fromVariantList(args)).toJson(QJsonDocument::Compact));
    // name is a one-element array: [0] picks the escaped string back out.
    const QString js = QStringLiteral("(function(){var f=window[%1[0]];"
                                      "if(typeof f!=='function')return null;return f.apply(window,%2);})()")
                           .arg(name, argv);
    if (done)
        page()->runJavaScript(js, QWebEngineScript::MainWorld, [done](const QVariant& r) { done(r); });
    else
        page()->runJavaScript(js, QWebEngineScript::MainWorld);
}

void BrowserHost::callScriptText(const QString& scriptUrl, ScriptResult done) {
    if (!m_documentReady)
        return;
    QString js = scriptUrl;
    if (js.startsWith(QLatin1String("javascript:")))
        js.remove(0, 11);
    if (done)
        page()->runJavaScript(js, QWebEngineScript::MainWorld, [done](const QVariant& r) { done(r); });
    else
        page()->runJavaScript(js, QWebEngineScript::MainWorld);
}

void BrowserHost::setPrintMode(bool on) {
    g_printMode = on;
}
bool BrowserHost::printMode() {
    return g_printMode;
}

QString BrowserHost::skinFolder() {
    return g_skinFolder.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/skin")
                                  : g_skinFolder;
}

void BrowserHost::setSkinFolder(const QString& folder) {
    g_skinFolder = folder;
}

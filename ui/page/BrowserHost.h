// A web view hosting one skin page: no context menu, scroll bars only while a report is being
// printed, window.external wired to its own ScriptBridge, and CallScript for page functions.
// Used by the main window and by every window that shows a skin page (list search, map, setup,
// download, print).
#pragma once

#include "ui/page/ScriptBridge.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QWebEngineView>

#include <functional>

class QWebChannel;

// Registers the shell's resources (bridge script, caption bitmaps); safe to call repeatedly.
void initShellResources();

class BrowserHost : public QWebEngineView {
    Q_OBJECT
public:
    explicit BrowserHost(QWidget* parent = nullptr);
    ~BrowserHost() override;

    ScriptBridge* bridge() const { return m_bridge; }

    // Loads a page of the skin folder, e.g. navigate("index.htm").
    void navigate(const QString& skinRelativePath);
    // True from the page's loadFinished until the next load starts.
    bool isDocumentReady() const { return m_documentReady; }

    // Calls the page function `functionName` with the arguments, JSON-escaped. Does nothing
    // before the page has loaded or when the function does not exist. `done` (optional) gets the
    // function's result.
    using ScriptResult = std::function<void(const QVariant&)>;
    void callScript(const QString& functionName, ScriptResult done = {});
    void callScript(const QString& functionName, const QStringList& args, ScriptResult done = {});
    void callScript(const QString& functionName, const QString& text, int number, ScriptResult done = {});
    void callScript(const QString& functionName, const QList<int>& numbers, ScriptResult done = {});
    // Arguments as they are: numbers reach the page as numbers, texts as strings.
    void callScriptValues(const QString& functionName, const QVariantList& args, ScriptResult done = {}) {
        callWithArgs(functionName, args, std::move(done));
    }
    // callInternal(functionName, value) of the main page.
    void callInternal(const QString& functionName, const QString& value) {
        callScript(QStringLiteral("callInternal"), QStringList{functionName, value});
    }
    // Runs "javascript:fn(args)" text, as the map views do.
    void callScriptText(const QString& scriptUrl, ScriptResult done = {});

    // Pages loaded while the print flag is set get scroll bars (only the print page scrolls).
    static void setPrintMode(bool on);
    static bool printMode();

    // Folder of the skin pages: the program's folder plus "/skin" unless set (tests).
    static QString skinFolder();
    static void setSkinFolder(const QString& folder);

signals:
    // The page (or a reload of it) has finished loading; its functions can be called now.
    void pageLoaded(bool ok);

private:
    void callWithArgs(const QString& functionName, const QVariantList& args, ScriptResult done);

    ScriptBridge* m_bridge = nullptr;
    QWebChannel* m_channel = nullptr;
    bool m_documentReady = false;
};

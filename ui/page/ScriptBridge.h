// The object every skin page reaches as window.external: resolves the six method names, routes
// (name, value) to its host (the main window's commands) or to the host's setup, search and
// download windows, after the page's call has returned.
// One instance per web view (BrowserHost), exported to the page through a QWebChannel.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <cstdint>
#include <functional>

// Method ids of window.external, in the order of their names.
enum BridgeMethod : int {
    kDispDoClick = 1,
    kDispDoHandler = 2,
    kDispDoUpdateHandler = 3,
    kDispDoSetupHandler = 4,
    kDispDoSearchHandler = 5,
    kDispDoDownloadHandler = 6,
};
constexpr int kDispIdUnknown = -1;
constexpr uint32_t kResultOk = 0;
constexpr uint32_t kResultUnknownName = 0x80020006;

// Ids of `names` (case-sensitive); unknown names get kDispIdUnknown and make the result
// kResultUnknownName while the other names are still resolved.
uint32_t GetIDsOfNames(const QStringList& names, QVector<int>& ids);
QStringList bridgeMethodNames();

// The integer a command value stands for: the number itself (truncated to 32 bits) or the
// leading decimal digits of a text (0 when there are none).
int commandValueToInt(const QVariant& value);
// The text a handler of methods 4..6 receives.
QString commandValueToString(const QVariant& value);

// A window whose page talks to it through DoSetupHandler, DoSearchHandler or DoDownloadHandler.
class PageCommandHandler {
public:
    virtual ~PageCommandHandler() = default;
    virtual void handleCommand(const QString& name, const QString& value) = 0;
};

// The main window as the bridge needs it.
class BridgeHost {
public:
    virtual ~BridgeHost() = default;
    // A command the page sent with DoClick (or "btnFormat" from the setup page); false when it
    // was dropped.
    virtual bool runPageCommand(const QString& name, int value) = 0;
    virtual PageCommandHandler* setupWindow() const = 0;
    virtual PageCommandHandler* searchWindow() const = 0;
    virtual PageCommandHandler* downloadWindow() const = 0;
};

class ScriptBridge : public QObject {
    Q_OBJECT
public:
    explicit ScriptBridge(QObject* parent = nullptr) : QObject(parent) {}

    // Where the page's calls go. Without one set, the nearest host among the bridge's parents (a
    // page window belongs to the main window), or none (the calls are only signalled).
    void setHost(BridgeHost* host) { m_host = host; }
    BridgeHost* host() const;

    // Routes one call. Ids <= 0 do nothing.
    void invoke(int dispid, const QString& name, const QVariant& value);

    // Called by the page script with the method's name. The call returns to the page at once and
    // the command runs right after (see runAfterPageCall): a command may open a window.
    Q_INVOKABLE void call(const QString& method, const QVariant& name, const QVariant& value);

    // Runs `work` on the user-interface thread once the current call from a page (or a web-engine
    // callback such as a script result) has returned, unless `context` is gone by then. Anything
    // that opens a modal window or otherwise runs a nested event loop must start this way when it
    // is reached from a page: a nested loop inside the web engine's own task holds back every other
    // task of the engine, the new window's page load included, and that window stays blank.
    static void runAfterPageCall(QObject* context, std::function<void()> work);

signals:
    // Every resolved call, after routing (diagnostics and tests).
    void invoked(int dispid, const QString& name, const QVariant& value);

private:
    BridgeHost* m_host = nullptr;
};

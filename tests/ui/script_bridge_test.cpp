// window.external without a browser: method ids, value conversion and routing by method and name.
#include "ui/page/ScriptBridge.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <vector>

namespace {
struct Recorder : PageCommandHandler {
    std::vector<std::pair<QString, QString>> calls;
    void handleCommand(const QString& name, const QString& value) override {
        calls.emplace_back(name, value);
    }
};

struct FakeHost : BridgeHost {
    std::vector<std::pair<QString, int>> dispatched;
    Recorder* setup = nullptr;
    Recorder* search = nullptr;
    Recorder* download = nullptr;
    bool runPageCommand(const QString& name, int value) override {
        dispatched.emplace_back(name, value);
        return true;
    }
    PageCommandHandler* setupWindow() const override { return setup; }
    PageCommandHandler* searchWindow() const override { return search; }
    PageCommandHandler* downloadWindow() const override { return download; }
};

class BridgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "script-bridge-test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv); // kept for the process: the bridge posts its work
        bridge.setHost(&host);
    }
    // A call of the page's script, then the event loop's turn in which the command runs.
    void pageCall(const QString& method, const QVariant& name, const QVariant& value) {
        bridge.call(method, name, value);
        QCoreApplication::processEvents();
    }
    FakeHost host;
    ScriptBridge bridge;
};
} // namespace

TEST(BridgeIdsTest, NamesResolveCaseSensitivelyInOrder) {
    QVector<int> ids;
    EXPECT_EQ(GetIDsOfNames(bridgeMethodNames(), ids), kResultOk);
    EXPECT_EQ(ids, (QVector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(GetIDsOfNames({"DoClick", "doclick", "DoSearchHandler"}, ids), kResultUnknownName);
    EXPECT_EQ(ids, (QVector<int>{1, -1, 5}));
    EXPECT_EQ(GetIDsOfNames({}, ids), kResultOk);
    EXPECT_TRUE(ids.isEmpty());
}

TEST(BridgeValueTest, ValuesAsIntegersAndTexts) {
    EXPECT_EQ(commandValueToInt(QVariant(42.9)), 42);
    EXPECT_EQ(commandValueToInt(QVariant(-3.7)), -3);
    EXPECT_EQ(commandValueToInt(QVariant(1e12)), 2147483647);
    EXPECT_EQ(commandValueToInt(QVariant(QString("120"))), 120);
    EXPECT_EQ(commandValueToInt(QVariant(QString(" -15px"))), -15);
    EXPECT_EQ(commandValueToInt(QVariant(QString(""))), 0);
    EXPECT_EQ(commandValueToInt(QVariant(QString("abc"))), 0);
    EXPECT_EQ(commandValueToInt(QVariant(QString("99999999999"))), 2147483647);
    EXPECT_EQ(commandValueToInt(QVariant()), 0);
    EXPECT_EQ(commandValueToString(QVariant(7.0)), QString("7"));
    EXPECT_EQ(commandValueToString(QVariant(QString("on"))), QString("on"));
    EXPECT_EQ(commandValueToString(QVariant()), QString());
}

TEST_F(BridgeTest, DoClickGoesToTheDispatcherAfterThePagesCallReturned) {
    bridge.call("DoClick", QString("btnVolumn"), 55.0);
    bridge.call("DoClick", QString("btnPlay"), QString(""));
    // Nothing runs inside the page's call (a window opened there would hang the web engine).
    EXPECT_TRUE(host.dispatched.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(host.dispatched, (std::vector<std::pair<QString, int>>{{"btnVolumn", 55}, {"btnPlay", 0}}));
}

TEST_F(BridgeTest, FormatFromAnyMethodReachesTheDispatcher) {
    for (const QString& method : bridgeMethodNames())
        pageCall(method, QString("btnFormat"), QString(""));
    EXPECT_EQ(host.dispatched.size(), 6u);
    for (const auto& [name, value] : host.dispatched) {
        EXPECT_EQ(name, QString("btnFormat"));
        EXPECT_EQ(value, 0);
    }
}

TEST_F(BridgeTest, HandlerMethodsTwoAndThreeDoNothing) {
    pageCall("DoHandler", QString("btnPlay"), QString(""));
    pageCall("DoUpdateHandler", QString("btnStop"), 3.0);
    pageCall("doClick", QString("btnPlay"), QString("")); // unknown method
    bridge.invoke(0, "btnPlay", {});
    bridge.invoke(-1, "btnPlay", {});
    EXPECT_TRUE(host.dispatched.empty());
}

TEST_F(BridgeTest, WindowMethodsReachTheWindowTheMainWindowHolds) {
    // No window open: nothing happens and nothing breaks.
    pageCall("DoSetupHandler", QString("btnSave"), QString("x"));
    Recorder setup, search, download;
    host.setup = &setup;
    host.search = &search;
    host.download = &download;
    pageCall("DoSetupHandler", QString("btnSave"), QString("1,2,3"));
    pageCall("DoSearchHandler", QString("btnFind"), QString("20240101"));
    pageCall("DoDownloadHandler", QString("btnOK"), 1.0);
    EXPECT_EQ(setup.calls, (std::vector<std::pair<QString, QString>>{{"btnSave", "1,2,3"}}));
    EXPECT_EQ(search.calls, (std::vector<std::pair<QString, QString>>{{"btnFind", "20240101"}}));
    EXPECT_EQ(download.calls, (std::vector<std::pair<QString, QString>>{{"btnOK", "1"}}));
    EXPECT_TRUE(host.dispatched.empty());
}

TEST_F(BridgeTest, NoMainWindowNoCrash) {
    bridge.setHost(nullptr);
    pageCall("DoClick", QString("btnPlay"), QString(""));
    pageCall("DoSetupHandler", QString("btnFormat"), QString(""));
    EXPECT_TRUE(host.dispatched.empty());
}

TEST_F(BridgeTest, ABridgeWithoutAHostRoutesToTheHostItBelongsTo) {
    // A page window's bridge is not given a host: the main window above it is its host.
    struct HostObject : QObject, FakeHost {};
    HostObject owner;
    auto* child = new QObject(&owner);
    auto* inner = new ScriptBridge(child);
    EXPECT_EQ(inner->host(), static_cast<BridgeHost*>(&owner));
    inner->call("DoClick", QString("btnPlay"), QString("3"));
    QCoreApplication::processEvents();
    EXPECT_EQ(owner.dispatched, (std::vector<std::pair<QString, int>>{{"btnPlay", 3}}));
    ScriptBridge lone;
    EXPECT_EQ(lone.host(), nullptr);
}

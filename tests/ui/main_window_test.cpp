// The main window with its real skin page, headless: size and modes, keys, the page's controls
// reaching the command registry, the page functions, the script bridge in frames and before the
// channel connects, and CallScript before a page has loaded.
#include "WindowTestApp.h"
#include "media/playback/PlaybackEngine.h"
#include "ui/app/MainWindow.h"
#include "ui/widgets/CaptionButton.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/page/BrowserHost.h"
#include "ui/dialogs/RecordingInfoDialog.h"
#include "ui/screens/ZoomWindow.h"
#include "ui/playback/WindowPlayback.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineSettings>

#include <memory>
#include <vector>

namespace {

QApplication& app() {
    return windowTestApp(QUILLENT_SOURCE_SKIN, nullptr);
}

struct Call {
    int dispid;
    QString name;
    QString value;
    bool operator==(const Call& o) const { return dispid == o.dispid && name == o.name && value == o.value; }
};

std::ostream& operator<<(std::ostream& os, const Call& c) {
    return os << c.dispid << ":" << c.name.toStdString() << "=" << c.value.toStdString();
}

// Records every call a bridge routes.
struct CallLog {
    explicit CallLog(ScriptBridge* bridge) {
        QObject::connect(bridge, &ScriptBridge::invoked, [this](int id, const QString& n, const QVariant& v) {
            calls.push_back({id, n, commandValueToString(v)});
        });
        spy = std::make_unique<QSignalSpy>(bridge, &ScriptBridge::invoked);
    }
    bool waitFor(size_t count) {
        while (calls.size() < count)
            if (!spy->wait(15000))
                return false;
        return true;
    }
    std::vector<Call> calls;
    std::unique_ptr<QSignalSpy> spy;
};

// One main window for the whole executable: each web view is a renderer process.
class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        app();
        WriteSetting("speedunit", "3"); // the page shows the stored unit once loaded
        s_session = new PlaybackSession;
        s_window = new MainWindow(*s_session);
        QSignalSpy ready(s_window, &MainWindow::pageReady);
        s_window->show();
        ASSERT_TRUE(ready.wait(30000));
    }
    static void TearDownTestSuite() {
        delete s_window;
        s_window = nullptr;
        delete s_session;
        s_session = nullptr;
    }
    QVariant js(const QString& code) { return runScript(s_window->page()->page(), code); }
    static inline PlaybackSession* s_session = nullptr; // the application's, outliving the window
    static MainWindow* s_window;
};
MainWindow* MainWindowTest::s_window = nullptr;

} // namespace

TEST_F(MainWindowTest, SizeModesAndChildren) {
    MainWindow& w = *s_window;
    EXPECT_EQ(w.size(), QSize(1200, 628));
    EXPECT_EQ(w.minimumSize(), QSize(1200, 628));
    EXPECT_EQ(w.pos(), QPoint(0, 0));
    EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(w.page()->geometry(), QRect(3, 530, 1194, 95));
    EXPECT_EQ(w.panel(PanelSlot::Screen0)->geometry(), QRect(6, 38, 425, 239));
    EXPECT_TRUE(w.panel(PanelSlot::Screen3)->isHidden());
    EXPECT_TRUE(w.panel(PanelSlot::Map)->isHidden());
    EXPECT_EQ(w.titleText(), QString("Morvent QUILLENT"));
    // The page loaded with the stored speed unit.
    EXPECT_EQ(js("document.getElementById('btnUnit').textContent").toString(), QString("Knot/h"));
    w.setTitleText("20240101_120000_E.qmv");
    EXPECT_EQ(w.titleText(), QString("Morvent QUILLENT - 20240101_120000_E.qmv"));
    w.setTitleText({});

    const QRect before = w.geometry();
    w.toggleMaximise();
    EXPECT_TRUE(w.isMaximised());
    w.toggleMaximise();
    EXPECT_FALSE(w.isMaximised());
    EXPECT_EQ(w.geometry(), before);

    // An installed panel takes the placeholder's place.
    auto* speed = new QWidget;
    w.installPanel(PanelSlot::Speed, speed);
    EXPECT_EQ(w.panel(PanelSlot::Speed), speed);
    EXPECT_EQ(speed->parentWidget(), &w);
    EXPECT_EQ(speed->geometry(), QRect(435, 404, 425, 118));
}

TEST_F(MainWindowTest, EveryKeyIsSwallowedAndSpaceChoosesACardFirst) {
    MainWindow& w = *s_window;
    QWidget* target = w.page()->focusProxy() ? w.page()->focusProxy() : w.page();
    int openSource = 0;
    w.commands().add("btnOpen", [&](int) { ++openSource; });
    auto press = [&](int key, Qt::KeyboardModifiers mods = {}) {
        QKeyEvent e(QEvent::KeyPress, key, mods);
        return QCoreApplication::sendEvent(target, &e);
    };
    EXPECT_TRUE(press(Qt::Key_Space));
    EXPECT_EQ(openSource, 1); // no card or folder chosen yet
    EXPECT_TRUE(press(Qt::Key_A));
    EXPECT_TRUE(press(Qt::Key_Return));
    EXPECT_TRUE(press(Qt::Key_F4, Qt::AltModifier));
    EXPECT_TRUE(press(Qt::Key_Escape));
    EXPECT_TRUE(press(Qt::Key_Left));
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(openSource, 1);
    w.commands().remove("btnOpen");
}

TEST_F(MainWindowTest, EveryPageControlSendsItsCommand) {
    MainWindow& w = *s_window;
    CallLog log(w.page()->bridge());
    w.busy().setBusy(true); // the page's commands are dropped: no dialogs, no browser
    struct Click {
        const char* id;
        const char* name;
        const char* value;
    };
    const Click clicks[] = {
        {"btnHome", "btnHome", ""},
        {"btnPrev", "btnPrev", ""},
        {"btnSpeedFrameDown", "btnSpeedFrameDown", ""},
        {"btnPlay", "btnPlay", ""},
        {"btnSpeedFrameUp", "btnSpeedFrameUp", ""},
        {"btnNext", "btnNext", ""},
        {"btnEnd", "btnEnd", ""},
        {"btnSpeedUp", "btnSpeedUp", "1"},
        {"btnSpeedUp", "btnSpeedUp", "2"},
        {"btnSpeedDown", "btnSpeedDown", "1"},
        {"btnOpen", "btnOpen", ""},
        {"btnFileOpen", "btnFileOpen", ""},
        {"btnSearch", "btnSearch", ""},
        {"btnPicture", "btnPicture", ""},
        {"btnPrint", "btnPrint", ""},
        {"btnSave", "btnSave", ""},
        {"btnConvert", "btnConvert", ""},
        {"btnDownload", "btnDownload", ""},
        {"btnMerge", "btnMerge", ""},
        {"btnLog", "btnLog", ""},
        {"btnDeleteFile", "btnDeleteFile", ""},
        {"btnFormat", "btnFormat", ""},
        {"btnMirror", "btnMirror", ""},
        {"btnFlip", "btnFlip", ""},
        {"btnChange", "btnChange", ""},
        {"btnCollect", "btnCollect", ""},
        {"btnTripple", "btnTripple", ""},
        {"btnZoom", "btnZoom", ""},
        {"btnGSensor", "btnGSensor", ""},
        {"btnMap", "btnMap", ""},
        {"btnMapsetting", "btnMapsetting", ""},
        {"btnSetting", "btnSetting", ""},
        {"btnInfo", "btnInfo", ""},
        {"btnHomepage", "btnHomepage", ""},
        {"btnControlUp1", "btnControlUp1", "11"},
        {"btnControlDown1", "btnControlDown1", "10"},
        {"btnControlDown1", "btnControlDown1", "9"},
        {"btnUnit", "btnUnit", "1"}, // from the stored 3 round to 1
        {"btnLoop", "btnLoop", ""},
    };
    std::vector<Call> expected;
    for (const Click& c : clicks) {
        js(QStringLiteral("document.getElementById('%1').click()").arg(c.id));
        expected.push_back({kDispDoClick, c.name, c.value});
    }
    ASSERT_TRUE(log.waitFor(expected.size()));
    EXPECT_EQ(log.calls, expected);

    // With nothing loaded (no range) a click on the time line moves nothing and seeks nothing.
    w.callInternal("setRange", "0");
    w.callInternal("setPos", "0");
    js("(function(){var t=document.getElementById('timeline'); var r=t.getBoundingClientRect();"
       "var o={clientX:r.left+r.width/2, clientY:r.top+r.height/2, button:0, pointerId:1, bubbles:true};"
       "t.dispatchEvent(new PointerEvent('pointerdown',o)); t.dispatchEvent(new "
       "PointerEvent('pointerup',o));})()");
    EXPECT_EQ(js("state.posMs").toInt(), 0);
    EXPECT_FALSE(js("state.dragging").toBool());

    // The repeat range comes from the program; A, B and the close button then act.
    w.callInternal("setRange", "100000");
    w.callInternal("setLoopRange", "59000");
    w.callInternal("setPos", "30000");
    w.callInternal("setPause", "0");
    const Click loopClicks[] = {{"btnLoopStart", "btnLoopStart", "30000"},
                                {"btnLoopEnd", "btnLoopEnd", "30000"},
                                {"btnPlay", "btnPause", ""},
                                {"btnLoop", "btnLoopClose", ""}};
    for (const Click& c : loopClicks) {
        js(QStringLiteral("document.getElementById('%1').click()").arg(c.id));
        expected.push_back({kDispDoClick, c.name, c.value});
    }
    // The volume slider and the time line.
    js("var v=document.getElementById('btnVolumn'); v.value=100; v.dispatchEvent(new Event('input'));");
    expected.push_back({kDispDoClick, "btnVolumn", "100"});
    js("(function(){var t=document.getElementById('timeline'); var r=t.getBoundingClientRect();"
       "var o={clientX:r.left+r.width/4, clientY:r.top+r.height/2, button:0, pointerId:1, bubbles:true};"
       "t.dispatchEvent(new PointerEvent('pointerdown',o)); t.dispatchEvent(new "
       "PointerEvent('pointerup',o));})()");
    ASSERT_TRUE(log.waitFor(expected.size() + 1));
    const Call seek = log.calls.back();
    log.calls.pop_back();
    EXPECT_EQ(log.calls, expected);
    EXPECT_EQ(seek.name, QString("btnPosition"));
    EXPECT_NEAR(seek.value.toInt(), 25000, 300);
    w.busy().setBusy(false);
}

TEST_F(MainWindowTest, ADoubleClickOnTheTitleBandMaximisesAndRestores) {
    MainWindow& w = *s_window;
    const QRect before = w.geometry();
    ASSERT_FALSE(w.isMaximised());
    QTest::mouseDClick(&w, Qt::LeftButton, {}, QPoint(w.width() / 2, 15));
    EXPECT_TRUE(w.isMaximised());
    QTest::mouseDClick(&w, Qt::LeftButton, {}, QPoint(w.width() / 2, 15));
    EXPECT_FALSE(w.isMaximised());
    EXPECT_EQ(w.geometry(), before);
    // The caption buttons lose a hover look the window state change left behind.
    auto* minimise = w.findChild<CaptionButton*>("minimiseButton");
    ASSERT_NE(minimise, nullptr);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(minimise, &enter);
    ASSERT_TRUE(minimise->hovered());
    w.commands().run("captionMinimise"); // the window system may ignore it: no leave event follows
    EXPECT_FALSE(minimise->hovered());
    w.showNormal();
    // Below the band a double click is the client's.
    QTest::mouseDClick(&w, Qt::LeftButton, {}, QPoint(w.width() / 2, 200));
    EXPECT_FALSE(w.isMaximised());
}

TEST_F(MainWindowTest, CommandsChangeTheWindowAndTheEngine) {
    MainWindow& w = *s_window;
    w.busy().setBusy(true);
    w.runPageCommand("btnVolumn", 10);
    EXPECT_NE(w.playback()->player().volume(), 6553u); // dropped while busy
    w.busy().setBusy(false);
    w.runPageCommand("btnVolumn", 100);
    EXPECT_EQ(w.playback()->player().volume(), 65535u);
    w.runPageCommand("btnVolumn", 50);
    EXPECT_EQ(w.playback()->player().volume(), 32767u);
    EXPECT_EQ(w.state().volume, 50);
    w.runPageCommand("btnFlip", 0);
    EXPECT_EQ(w.playback()->player().viewOptions(), 0x04u);
    w.runPageCommand("btnFlip", 0);
    EXPECT_EQ(w.playback()->player().viewOptions(), 0u);

    int snapshots = 0;
    w.commands().add("btnPicture", [&](int) { ++snapshots; });
    w.runPageCommand("btnPicture", 0);
    EXPECT_EQ(snapshots, 1);
    w.commands().remove("btnPicture");
    EXPECT_FALSE(w.commands().run("btnPicture")); // nothing installed: only logged

    // With nothing open the repeat command sets no loop (it would pin the next recording at 0),
    // and the page's repeat band stays hidden.
    w.runPageCommand("btnLoop", 0);
    EXPECT_FALSE(w.state().loopActive);
    EXPECT_EQ(js("document.getElementById('loopRange').hidden").toBool(), true);
    w.runPageCommand("btnLoopClose", 0);
}

// "Swap screens", "Screen layout" and "Grid view" as the page sends them: the screens move; the
// large main channel takes the G-sensor and speed panels' cell (they stand beside it), the grid
// puts them back; the zoom window opens clear of the player bar.
TEST_F(MainWindowTest, ScreenButtonsArrangeTheScreensAndZoomOpensClearOfTheBar) {
    MainWindow& w = *s_window;
    auto geo = [&](PanelSlot slot) { return w.panel(slot)->geometry(); };
    const PanelSlot screens[3] = {PanelSlot::Screen0, PanelSlot::Screen1, PanelSlot::Screen2};
    const QRect cells[3] = {geo(screens[0]), geo(screens[1]), geo(screens[2])};
    const QRect panels[3] = {geo(PanelSlot::Gsensor), geo(PanelSlot::Speed), geo(PanelSlot::Accelerometer)};
    auto panelsStay = [&] {
        EXPECT_EQ(geo(PanelSlot::Gsensor), panels[0]);
        EXPECT_EQ(geo(PanelSlot::Speed), panels[1]);
        EXPECT_EQ(geo(PanelSlot::Accelerometer), panels[2]);
    };

    // Nothing open: the three screens take turns in the main (top left) cell.
    w.runPageCommand("btnChange", 0);
    EXPECT_EQ(geo(screens[1]), cells[0]);
    EXPECT_EQ(geo(screens[2]), cells[1]);
    EXPECT_EQ(geo(screens[0]), cells[2]);
    panelsStay();

    w.runPageCommand("btnTripple", 0);
    const QRect main = geo(screens[1]);
    EXPECT_GE(main.width(), cells[0].width());
    const QRect moved[3] = {geo(PanelSlot::Gsensor), geo(PanelSlot::Speed), geo(PanelSlot::Accelerometer)};
    EXPECT_EQ(moved[2], panels[2]);
    for (PanelSlot other : {screens[0], screens[1], screens[2]}) {
        if (geo(other) != main) {
            EXPECT_LT(geo(other).width() * 2, main.width() + 8);
            EXPECT_FALSE(geo(other).intersects(main));
        }
        for (const QRect& panel : moved)
            EXPECT_FALSE(geo(other).intersects(panel));
    }
    EXPECT_FALSE(geo(screens[0]).intersects(geo(screens[2])));
    w.runPageCommand("btnChange", 0);
    EXPECT_EQ(geo(screens[2]), main); // the large cell stays; the next channel moves into it
    w.runPageCommand("btnChange", 0);
    EXPECT_EQ(geo(screens[0]), main);

    w.runPageCommand("btnCollect", 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(geo(screens[i]), cells[i]) << i;
    panelsStay();

    w.runPageCommand("btnZoom", 0);
    ZoomWindow* zoom = w.playback()->zoomWindow();
    ASSERT_NE(zoom, nullptr);
    EXPECT_TRUE(zoom->isVisible());
    const QRect bar(w.page()->mapToGlobal(QPoint(0, 0)), w.page()->size());
    EXPECT_FALSE(zoom->frameGeometry().intersects(bar));
    EXPECT_FALSE(zoom->geometry().intersects(bar));
    w.runPageCommand("btnZoom", 0);
    EXPECT_FALSE(zoom->isVisible());
}

TEST_F(MainWindowTest, PageFunctionsChangeThePage) {
    MainWindow& w = *s_window;
    BrowserHost* page = w.page();
    w.callInternal("setRange", "130000");
    w.callInternal("setPos", "65000");
    EXPECT_EQ(js("document.getElementById('timeText').textContent").toString(), QString("01:05 / 02:10"));
    EXPECT_EQ(js("document.getElementById('progress').style.width").toString(), QString("50%"));
    w.callInternal("setPos", "132000"); // the last moments, past the range's end
    EXPECT_EQ(js("document.getElementById('timeText').textContent").toString(), QString("02:10 / 02:10"));
    w.callInternal("setPos", "65000");

    w.callInternal("setPause", "0");
    EXPECT_EQ(js("document.querySelector('#btnPlay use').getAttribute('href')").toString(),
              QString("#i-pause"));
    w.callInternal("setPlay", "0");
    EXPECT_EQ(js("document.querySelector('#btnPlay use').getAttribute('href')").toString(),
              QString("#i-play"));

    page->callScript("setSpeedUnit", QList<int>{1});
    page->callScript("drawSpeed", QList<int>{72400});
    EXPECT_EQ(js("document.getElementById('speedValue').textContent").toString(), QString("72"));
    page->callScript("setSpeedUnit", QList<int>{2});
    EXPECT_EQ(js("document.getElementById('speedUnit').textContent").toString(), QString("Mile/h"));
    EXPECT_EQ(js("document.getElementById('speedValue').textContent").toString(), QString("45")); // 72.4 km/h
    page->callScript("setSpeedUnit", QList<int>{3});
    EXPECT_EQ(js("document.getElementById('speedValue').textContent").toString(), QString("39"));
    page->callScript("setSpeedUnit", QList<int>{1});

    w.callInternal("setChannel", "3");
    EXPECT_EQ(js("document.getElementById('channelBadge').textContent").toString(), QString("3CH"));
    EXPECT_FALSE(js("document.getElementById('channelBadge').hidden").toBool());

    w.callInternal("setLoopRange", "65000");
    EXPECT_EQ(js("document.getElementById('loopRange').style.width").toString(), QString("50%"));

    page->callScript("clearEventMark");
    page->callScript("addEventMark", QStringList{"130", "E"});
    page->callScript("addEventMark", QStringList{"26", "G"});
    EXPECT_EQ(js("document.querySelectorAll('#marks .mark').length").toInt(), 2);
    EXPECT_EQ(js("document.querySelector('#marks .mark').style.left").toString(), QString("50%"));
    page->callScript("clearEventMark");
    EXPECT_EQ(js("document.querySelectorAll('#marks .mark').length").toInt(), 0);

    page->callScript("initLanguage", QStringList{"korean"});
    EXPECT_EQ(js("document.getElementById('btnPlay').title").toString(), QString::fromUtf8("재생"));
    EXPECT_EQ(js("document.documentElement.lang").toString(), QString("ko"));
    page->callScript("initLanguage", QStringList{"english"});
    EXPECT_EQ(js("document.getElementById('btnPlay').title").toString(), QString("Play"));

    // Set when the page loaded.
    EXPECT_EQ(js("document.body.dataset.windowMap").toString(), QString("100"));
    // A function the page does not have is simply not called.
    page->callScript("noSuchFunction", QStringList{"x"});
    page->callScript("setPos", QStringList{"'); alert('x"}); // text stays text
    EXPECT_EQ(js("document.getElementById('timeText').textContent").toString(), QString("00:00 / 02:10"));
}

TEST_F(MainWindowTest, BridgeInFramesBeforeTheChannelAndBeforeLoad) {
    MainWindow& w = *s_window;
    w.busy().setBusy(true); // "btnInfo" would open its dialog
    BrowserHost view;
    EXPECT_EQ(view.contextMenuPolicy(), Qt::NoContextMenu);
    EXPECT_FALSE(view.isDocumentReady());

    // Before any page: nothing runs, no result ever comes.
    bool early = false;
    view.callScript("anything", [&](const QVariant&) { early = true; });

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    BrowserHost::setSkinFolder(dir.path());
    QFile page(dir.filePath("probe.htm"));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write("<!DOCTYPE html><html><head><script>"
               "window.external.DoClick('btnInfo', 7);" // before the channel is up: queued
               "function answer(a, b) { return a + '|' + b; }"
               "</script></head><body>"
               "<iframe srcdoc=\"<script>window.external.DoHandler('btnFormat', '')</script>\"></iframe>"
               "</body></html>");
    page.close();

    CallLog log(view.bridge());
    BrowserHost::setPrintMode(true);
    QSignalSpy loaded(&view, &BrowserHost::pageLoaded);
    view.navigate("probe.htm");
    ASSERT_TRUE(loaded.wait(30000));
    BrowserHost::setPrintMode(false);
    BrowserHost::setSkinFolder(QStringLiteral(QUILLENT_SOURCE_DIR "/skin/pages"));
    EXPECT_TRUE(view.settings()->testAttribute(QWebEngineSettings::ShowScrollBars));
    EXPECT_FALSE(w.page()->settings()->testAttribute(QWebEngineSettings::ShowScrollBars));

    ASSERT_TRUE(log.waitFor(2));
    std::vector<Call> calls = log.calls;
    std::sort(calls.begin(), calls.end(), [](const Call& a, const Call& b) { return a.dispid < b.dispid; });
    EXPECT_EQ(calls[0], (Call{kDispDoClick, "btnInfo", "7"}));
    EXPECT_EQ(calls[1], (Call{kDispDoHandler, "btnFormat", ""}));

    EXPECT_EQ(runScript(view.page(), "typeof window.external.DoDownloadHandler").toString(),
              QString("function"));
    EXPECT_EQ(runScript(view.page(), "typeof window.external.doclick").toString(), QString("undefined"));

    QVariant answer;
    bool answered = false;
    view.callScript("answer", QStringList{"a\"b", "c'd"}, [&](const QVariant& r) {
        answer = r;
        answered = true;
    });
    runScript(view.page(), "0"); // results arrive in order: the call above has answered by now
    EXPECT_TRUE(answered);
    EXPECT_EQ(answer.toString(), QString("a\"b|c'd"));
    EXPECT_FALSE(early);
    w.busy().setBusy(false);
}

TEST_F(MainWindowTest, MovieInfoDialogCaptionsAndValues) {
    MovieInfo info{"Halvorn", "12GA3456", "Kim", "FW 2.1", "SN-0042"};
    RecordingInfoDialog english(info, false);
    EXPECT_EQ(english.windowTitle(), QString("Movie Info"));
    EXPECT_EQ(english.caption(1251), QString("Vehicle Info"));
    EXPECT_EQ(english.caption(1258), QString("Serial NO."));
    const int ids[] = {1243, 1244, 1245, 1246, 1247};
    const QString values[] = {"Halvorn", "12GA3456", "Kim", "FW 2.1", "SN-0042"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(english.value(ids[i]), values[i]);
    EXPECT_EQ(english.value(1248), QString("1.6.3.5"));
    RecordingInfoDialog korean(info, true);
    const char* captions[] = {"차량 정보", "펌웨어 정보", "프로그램 정보", "회사명", "차량번호",
                              "운전자명",  "버전",        "시리얼",        "버전"};
    for (int id = 1251; id <= 1259; ++id)
        EXPECT_EQ(korean.caption(id), QString::fromUtf8(captions[id - 1251])) << id;
    EXPECT_EQ(korean.value(1243), QString("Halvorn"));
}

TEST_F(MainWindowTest, EveryPageCommandAndWindowCommandHasAHandler) {
    // The window and the features it installs cover every name the page sends, and the keys'
    // and caption buttons' commands.
    const Commands& commands = s_window->commands();
    for (const QString& name : skinCommandNames())
        EXPECT_TRUE(commands.contains(name)) << name.toStdString();
    for (const char* name :
         {"captionClose", "captionMaximise", "captionMinimise", "playPause", "stop", "openPrevious",
          "openNext", "stepBack", "stepForward", "seek", "openRow", "dockScreen", "screenResized",
          "dockGsensor", "dockSpeed", "dockMap", "dockAccelerometer"})
        EXPECT_TRUE(commands.contains(name)) << name;
}

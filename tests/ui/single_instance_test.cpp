// One running copy per user: a later start hands its argument over; a socket left by a copy
// that crashed does not keep the next start from running.
#include "core/config/ViewerConfig.h"
#include "ui/app/Application.h"
#include "ui/app/SingleInstance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTranslator>

#include <atomic>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {
QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "single_instance_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

QString testName(const char* what) {
    return QStringLiteral("quillent-test-%1-%2").arg(what).arg(QCoreApplication::applicationPid());
}
} // namespace

TEST(SingleInstanceTest, LaterStartHandsItsArgumentToTheRunningCopy) {
    app();
    SingleInstance first(testName("handover"));
    ASSERT_TRUE(first.listen());
    QSignalSpy spy(&first, &SingleInstance::activationRequested);

    std::atomic<bool> handed{false};
    std::thread second([&] {
        SingleInstance later(testName("handover"));
        handed = later.notifyRunning({"/cards/EVENT/20240101_120000_E.qmv"});
    });
    ASSERT_TRUE(spy.wait(10000));
    second.join();
    EXPECT_TRUE(handed);
    EXPECT_EQ(spy.at(0).at(0).toStringList(), QStringList{"/cards/EVENT/20240101_120000_E.qmv"});
}

TEST(SingleInstanceTest, NoRunningCopyMeansThisStartRuns) {
    app();
    SingleInstance alone(testName("alone"));
    EXPECT_FALSE(alone.notifyRunning({}, 500));
    EXPECT_TRUE(alone.listen());
}

TEST(SingleInstanceTest, SocketOfACrashedCopyIsTakenOver) {
    app();
    SingleInstance next(testName("stale"));
    // A bound socket file nobody listens on, as a killed copy leaves it.
    const QByteArray path = QDir(QDir::tempPath()).filePath(next.serverName()).toLocal8Bit();
    ::unlink(path.constData());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(static_cast<size_t>(path.size()), sizeof(addr.sun_path));
    memcpy(addr.sun_path, path.constData(), path.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ::close(fd);

    EXPECT_FALSE(next.notifyRunning({}, 500));
    EXPECT_TRUE(next.listen());
}

// The key belongs to the login session: its runtime folder and its display. The identifier and
// the user id stay as they were.
TEST(SingleInstanceTest, TheKeyIsTiedToTheLoginSession) {
    const QString id = QString::fromLatin1(SingleInstance::kInstanceId);
    const QString deep = "/run/user/1000/" + QString(90, 'd');
    const struct {
        const char* runtime;
        const char* display;
        QString expected;
    } cases[] = {
        {"/run/user/1000", ":0", "/run/user/1000/" + id + "-1000-_0"},
        {"/run/user/1000", ":1.0", "/run/user/1000/" + id + "-1000-_1.0"},
        {"/run/user/1000", "wayland-0", "/run/user/1000/" + id + "-1000-wayland-0"},
        {"", ":24", id + "-1000-_24"},          // no runtime folder: the temporary folder
        {"relative/dir", "", id + "-1000"},     // neither: the name as before
    };
    for (const auto& c : cases)
        EXPECT_EQ(SingleInstance::serverNameFor(id, 1000, c.runtime, c.display), c.expected) << c.display;
    // A runtime folder too deep for a socket address leaves the name to the temporary folder.
    EXPECT_EQ(SingleInstance::serverNameFor(id, 1000, deep, ":0"), id + "-1000-_0");

    // Two sessions of one user each keep their own copy: a start in the other does not hand over.
    app();
    const QByteArray oldDisplay = qgetenv("DISPLAY"), oldWayland = qgetenv("WAYLAND_DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("DISPLAY", ":91");
    SingleInstance first(testName("session"));
    ASSERT_TRUE(first.listen());
    qputenv("DISPLAY", ":92");
    SingleInstance other(testName("session"));
    EXPECT_NE(other.serverName(), first.serverName());
    EXPECT_FALSE(other.notifyRunning({}, 500));
    EXPECT_TRUE(other.listen());
    qputenv("DISPLAY", oldDisplay);
    if (!oldWayland.isEmpty())
        qputenv("WAYLAND_DISPLAY", oldWayland);
}

TEST(SingleInstanceTest, RelativePathsAreMadeAbsoluteForTheRunningCopy) {
    app();
    const QStringList out = Application::argumentsForHandOver(
        {"clip.qmv", "/abs/x.qmv", "qmv:http://h/a|a|1", "file:///home/u/My%20Clips/RTC.qmv",
         "qmv:http://h/a%20b.qmv%7Ca%20b.qmv%7c12"});
    EXPECT_EQ(out.at(0), QDir::current().absoluteFilePath("clip.qmv"));
    EXPECT_EQ(out.at(1), QString("/abs/x.qmv"));
    EXPECT_EQ(out.at(2), QString("qmv:http://h/a|a|1"));
    EXPECT_EQ(out.at(3), QString("/home/u/My Clips/RTC.qmv"));        // as a file manager hands it over
    EXPECT_EQ(out.at(4), QString("qmv:http://h/a b.qmv|a b.qmv|12")); // as a browser hands it over
}

TEST(SingleInstanceTest, ALiveCopysSocketIsNeverTakenOver) {
    app();
    SingleInstance first(testName("race"));
    ASSERT_TRUE(first.listen());
    SingleInstance second(testName("race"));
    EXPECT_FALSE(second.listen()); // the first keeps its name and still hears later starts
    QSignalSpy spy(&first, &SingleInstance::activationRequested);
    std::thread third([] {
        SingleInstance later(testName("race"));
        later.notifyRunning({});
    });
    EXPECT_TRUE(spy.wait(10000));
    third.join();
}

// The toolkit's own texts (file choosers, message box buttons) follow the language in force; the
// translation comes with the installed dependencies, so its absence is a failure.
TEST(StartupTest, ToolkitTextsFollowTheLanguageInForce) {
    QCoreApplication& a = app();
    const QString lookIn = QStringLiteral("Look in:");
    ViewerConfig::Instance().SetLanguage(kLanguageEnglish);
    EXPECT_FALSE(Application::installToolkitTranslation(a));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), lookIn);
    ViewerConfig::Instance().SetLanguage(kLanguageKorean);
    ASSERT_TRUE(Application::installToolkitTranslation(a));
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), lookIn);
    EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
    for (QTranslator* t : a.findChildren<QTranslator*>())
        QCoreApplication::removeTranslator(t);
    ViewerConfig::Instance().SetLanguage(kLanguageEnglish);
}

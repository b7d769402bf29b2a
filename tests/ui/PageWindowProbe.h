// Opens a window with a web page the way a user does, through the real bridge: the main page's
// own script calls window.external.DoClick(command, 0). The probe then waits for the new
// window's page to load, runs a script in it, checks that the main page still answers meanwhile,
// and closes the window. Used for every window a page command opens (search, setup, print, map).
#pragma once

#include "ui/page/BrowserHost.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>

#include <functional>

struct PageWindowProbeResult {
    bool windowOpened = false;
    bool pageLoaded = false;       // the window's page finished loading while the window was up
    QVariant scriptResult;         // of `script` in the window's page
    bool mainPageAnswered = false; // the main page ran a script while the window was up
};

// `pageOf` gives the web view of a top-level window of the wanted kind, null for any other window.
inline PageWindowProbeResult ClickAndProbePageWindow(BrowserHost* mainPage, const QString& command,
                                                     std::function<BrowserHost*(QWidget*)> pageOf,
                                                     const QString& script, int timeoutMs = 30000) {
    PageWindowProbeResult result;
    bool finished = false;
    int pending = 0; // script answers still awaited
    QPointer<QWidget> window;
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer poll;
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!window) {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w->isVisible() && pageOf(w))
                    window = w;
            }
        }
        BrowserHost* page = window ? pageOf(window) : nullptr;
        const bool timedOut = elapsed.elapsed() > timeoutMs;
        if (page && page->isDocumentReady() && !result.pageLoaded) {
            result.windowOpened = true;
            result.pageLoaded = true;
            pending = 2;
            page->page()->runJavaScript(script, [&](const QVariant& v) {
                result.scriptResult = v;
                --pending;
            });
            mainPage->page()->runJavaScript(QStringLiteral("1 + 1"), [&](const QVariant& v) {
                result.mainPageAnswered = v.toInt() == 2;
                --pending;
            });
        }
        if ((result.pageLoaded && pending == 0) || timedOut) {
            result.windowOpened = result.windowOpened || window;
            poll.stop();
            if (auto* dialog = qobject_cast<QDialog*>(window.data()))
                dialog->reject();
            else if (window)
                window->close();
            finished = true;
        }
    });
    poll.start();
    // Fired and not awaited: the command runs (and its window may run its own loop) meanwhile.
    mainPage->page()->runJavaScript(
        QStringLiteral("window.external.DoClick(%1, 0)").arg(QLatin1Char('"') + command + QLatin1Char('"')));
    // A probe that never finishes leaves `result` as far as it got; the caller's checks say what failed.
    static_cast<void>(QTest::qWaitFor([&] { return finished; }, timeoutMs + 10000));
    return result;
}

// Shared set-up of the UI tests that open windows: the test application pointed at a skin folder,
// with settings in a private folder and the viewer configuration loaded; scripts run in a page and
// awaited; files read whole; one generated sample card per test process.
#pragma once

#include "OpenTestApp.h"
#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"
#include "ui/page/BrowserHost.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The skin pages as written, and the built skin (the pages together with Leaflet).
#define QUILLENT_SOURCE_SKIN QUILLENT_SOURCE_DIR "/skin/pages"
#define QUILLENT_BUILT_SKIN QUILLENT_BIN_DIR "/skin"
// The configuration as written, and as the program loads it from beside itself.
#define QUILLENT_SOURCE_CONFIG QUILLENT_SOURCE_DIR "/viewerconfig.cfg"
#define QUILLENT_BUILT_CONFIG QUILLENT_BIN_DIR "/viewerconfig.cfg"

// The private settings folder of this test process.
inline const QTemporaryDir& testSettingsFolder() {
    static QTemporaryDir dir;
    return dir;
}

// The first call makes the application, points web views at `skin`, keeps the settings in the
// private folder and loads `config` (nothing when null); later calls only return the application.
inline QApplication& windowTestApp(const char* skin, const char* config) {
    static QApplication* instance = [&] {
        QApplication* a = ensureTestApp();
        BrowserHost::setSkinFolder(QString::fromUtf8(skin));
        SetSettingsDirectoryForTesting(testSettingsFolder().path().toStdString());
        if (config) {
            EXPECT_TRUE(LoadViewerConfigFile(config, ViewerConfig::Instance())) << config;
        }
        return a;
    }();
    return *instance;
}

// Runs `script` in `page` and waits for its result; a script that does not answer within
// `limitMs` fails the test.
inline QVariant runScript(QWebEnginePage* page, const QString& script, int limitMs = 15000) {
    QVariant result;
    bool done = false;
    QEventLoop loop;
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    BrowserHost::ScriptResult store = [&](const QVariant& r) {
        result = r;
        done = true;
        loop.quit();
    };
    page->runJavaScript(script, store);
    if (!done)
        loop.exec();
    EXPECT_TRUE(done) << "no answer from: " << script.toStdString();
    return result;
}

inline std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Writes small stand-in recordings below `root` (folders as needed), each holding its own path.
inline void writeStandInFiles(const std::filesystem::path& root, const std::vector<std::string>& files) {
    for (const std::string& rel : files) {
        std::filesystem::create_directories((root / rel).parent_path());
        std::ofstream(root / rel) << rel;
    }
}

// A card folder of stand-in recordings inside a temporary folder that goes with it.
struct StandInCard {
    QTemporaryDir dir;
    std::filesystem::path root{dir.path().toStdString() + "/card"};
    explicit StandInCard(const std::vector<std::string>& files) { writeStandInFiles(root, files); }
};

// A card written by the sample generator, once per test process (every test only reads it);
// empty, with a failure recorded, when the generator is missing or fails.
inline const std::filesystem::path& sampleCard() {
    static QTemporaryDir dir;
    static const std::filesystem::path card = [] {
        const QString path = dir.path() + QStringLiteral("/card");
        QProcess gen;
        gen.start(QStringLiteral(QUILLENT_BIN_DIR "/quillent-samplecard"), {path});
        if (!gen.waitForFinished(120000) || gen.exitStatus() != QProcess::NormalExit || gen.exitCode() != 0) {
            ADD_FAILURE() << "quillent-samplecard failed: " << gen.errorString().toStdString() << " "
                          << gen.readAllStandardError().toStdString();
            return std::filesystem::path();
        }
        return std::filesystem::path(path.toStdString());
    }();
    return card;
}

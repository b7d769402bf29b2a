// The camera setup window with its page "setting2.htm" in the real web engine: the page shows a record
// and its Save writes exactly what the parse of its setting string gives; the stored "setting" round
// trip; the network rule (2 is kept in the file, shown as 6); load from the open recording; and every
// control of the page keeps its values through parse and populate (no value the record cannot hold).
#include "WindowTestApp.h"
#include "core/common/CText.h"
#include "core/camera/SettingString.h"
#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"
#include "ui/page/BrowserHost.h"
#include "ui/card/SetupPageWindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace fs = std::filesystem;

namespace {
QApplication& app() {
    return windowTestApp(QUILLENT_SOURCE_SKIN, QUILLENT_SOURCE_CONFIG);
}

QVariant evaluate(SetupPageWindow& dlg, const QString& script) {
    return runScript(dlg.page()->page(), script, 20000);
}

QStringList pageValues(SetupPageWindow& dlg) {
    return evaluate(dlg, QStringLiteral("getSettingString()")).toString().split(QLatin1Char('|'));
}

void writeRecord(const fs::path& p, const SetupRecord& r) {
    const SetupRecordBytes bytes = SerializeSetupRecord(r);
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::string bytesOf(const SetupRecord& r) {
    const SetupRecordBytes b = SerializeSetupRecord(r);
    return std::string(b.begin(), b.end());
}

// A window whose page has loaded and shows its record; file choices and messages are scripted.
struct OpenSetup {
    SetupPageWindow dlg;
    QString nextFile;
    std::vector<QString> messages;
    explicit OpenSetup(SetupPageWindow::RecordingSetupSource source = {}) {
        dlg.setFileChooser([this](bool) { return nextFile; });
        dlg.setMessageShower([this](const QString& t, QMessageBox::Icon) { messages.push_back(t); });
        dlg.setRecordingSetupSource(std::move(source));
        QSignalSpy shown(&dlg, &SetupPageWindow::populated);
        dlg.open();
        EXPECT_TRUE(shown.wait(30000)) << "the setup page did not load";
    }
    // Runs a page command as the page sends it and waits until the window has carried it out.
    void command(const QString& name, const QString& value = {}, bool shows = false) {
        QSignalSpy done(&dlg, &SetupPageWindow::commandDone);
        QSignalSpy shown(&dlg, &SetupPageWindow::populated);
        const QString js =
            QStringLiteral("window.external.DoSetupHandler(%1, %2)")
                .arg(QString::fromUtf8(QJsonDocument(QJsonArray{name}).toJson(QJsonDocument::Compact))
                         .mid(1)
                         .chopped(1),
                     QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact))
                         .mid(1)
                         .chopped(1));
        evaluate(dlg, js);
        ASSERT_TRUE(done.count() > 0 || done.wait(10000)) << name.toStdString();
        if (shows) {
            ASSERT_TRUE(shown.count() > 0 || shown.wait(10000)) << name.toStdString();
        }
    }
    std::string text(const char* id) { return LString(id); }
};

// A record unlike the defaults in every shown field.
SetupRecord sampleRecord() {
    SetupRecord r = DefaultSetupRecord();
    r.overspeedLimit = 110;
    r.suddenAccelThreshold = 12;
    r.suddenBrakeThreshold = 18;
    r.slide2 = 150;
    r.slide3 = 7;
    r.slide4 = 3;
    r.quality = 1;
    r.fps = 2;
    r.parking = 2;
    r.audio = 0;
    r.summertime = 1;
    r.emergency = 0;
    r.gSensor = 4;
    r.sound = 3;
    r.videoMode = 1;
    r.videoOut = 1;
    r.frontLed = 0;
    r.securityLed = 1;
    r.ledScenario = 1; // shown as the third security-LED choice
    r.frontRotation = 1;
    r.rearMirror = 1;
    r.overspeed = 1;
    r.suddenAccel = 0;
    r.fileNamingRule = 1;
    r.overlayTime = 1;
    r.speedType = 2;
    r.network = 6;
    r.modemPort = 2;
    r.streamingChannel = 2;
    r.usbBackup = 1;
    r.lbp = 1;
    r.externalEvent = 1;
    r.fileBackup = 1;
    r.usbEvent = 1;
    r.localBackup = 1;
    r.lanType = 1;
    r.timezoneHour = -3;
    r.timezoneMinute = -30;
    r.timezone = 12;
    SetSetupText(r.company, "Halvorn Logistics");
    SetSetupText(r.vehicle, "Truck 7");
    SetSetupText(r.vehicleNumber, "12가3456");
    SetSetupText(r.driver, "Kim | Lee");
    SetSetupText(r.ssid, "dashcam-net");
    SetSetupText(r.key, "s3cret");
    SetSetupText(r.hostname, "upload.example");
    SetSetupText(r.localHostname, "cam-07");
    r.lbpTime = 12;
    r.gpsFlags = 11;
    r.overspeedTime = 30;
    r.suddenAccelTime = 2;
    r.suddenBrakeTime = 3;
    r.dstA = 329;
    r.dstB = 1025;
    r.harshAccelLevel = 8;
    r.harshBrakeLevel = 14;
    r.harshLeftLevel = 6;
    r.harshRightLevel = 17;
    r.harshAccelA = 0.35f;
    r.harshAccelB = 1.5f;
    r.harshBrakeA = -0.42f;
    r.harshBrakeB = 0.75f;
    r.harshLeftA = 0.3f;
    r.harshLeftB = 2.0f;
    r.harshRightA = -0.3f;
    r.harshRightB = 2.25f;
    return r;
}
} // namespace

TEST(SetupPage, EmptyStoredSettingShowsTheDefaultsAndSaveWritesThem) {
    app();
    WriteSetting("setting", "");
    OpenSetup s;
    EXPECT_EQ(s.dlg.size(), QSize(680, 680));
    EXPECT_EQ(s.dlg.page()->geometry(), QRect(0, 32, 680, 648));
    const QStringList values = pageValues(s.dlg);
    ASSERT_EQ(values.size(), kSettingStringValues);

    QTemporaryDir dir;
    s.nextFile = dir.path() + "/setup.cfg";
    QSignalSpy done(&s.dlg, &SetupPageWindow::commandDone);
    evaluate(s.dlg, QStringLiteral("document.getElementById('btnSave').click()"));
    ASSERT_TRUE(done.count() > 0 || done.wait(10000));
    // The defaults, but for the upload mode that every parse sets to 1.
    SetupRecord expected = DefaultSetupRecord();
    expected.networkSendType = 1;
    EXPECT_EQ(readFile(s.nextFile.toStdString()), bytesOf(expected));
    EXPECT_EQ(s.messages.back(), QString::fromStdString(s.text("CFG_SAVE")));
    EXPECT_EQ(ReadSetting("setting"), values.join('|').toStdString());
}

TEST(SetupPage, ShowsALoadedRecordAndSavesWhatItsSettingStringParsesTo) {
    app();
    WriteSetting("setting", "");
    QTemporaryDir dir;
    SetupRecord sample = sampleRecord();
    SetSetupText(sample.user, "owner"); // never shown: a loaded file's credentials are cleared
    writeRecord(dir.path().toStdString() + "/in.cfg", sample);
    OpenSetup s;
    s.nextFile = dir.path() + "/in.cfg";
    s.command("btnLoad", {}, true);
    EXPECT_EQ(s.messages.back(), QString::fromStdString(s.text("CFG_LOAD")));
    EXPECT_EQ(GetSetupText(s.dlg.record().user), "");

    // The page shows every value: its string is the record's, value for value (52 and 53 are unused).
    const QStringList values = pageValues(s.dlg);
    ASSERT_EQ(values.size(), kSettingStringValues);
    SetupRecord shown = s.dlg.record();
    const QStringList expected = QString::fromStdString(MakeSettingString(shown)).split('|');
    for (int i = 0; i < kSettingStringValues; ++i) {
        if (i == 52 || i == 53)
            continue;
        EXPECT_EQ(values[i], expected[i]) << "value " << i;
    }
    EXPECT_EQ(values[19], "3"); // security LED on with its scenario
    EXPECT_EQ(values[34], "7"); // Wi-Fi on
    EXPECT_EQ(values[51], "-330");
    EXPECT_EQ(values[49], "2"); // harsh acceleration 8 = range 2, level 3
    EXPECT_EQ(values[75], "3");
    EXPECT_EQ(values[58], "Kim _ Lee"); // "|" cannot travel in the string

    // The page's own Save button, to a chosen file: the file is the parse of the page's string.
    s.nextFile = dir.path() + "/out.cfg";
    evaluate(s.dlg, QStringLiteral("userSet(0, 95)"));
    QSignalSpy done(&s.dlg, &SetupPageWindow::commandDone);
    evaluate(s.dlg, QStringLiteral("document.getElementById('btnSave').click()"));
    ASSERT_TRUE(done.count() > 0 || done.wait(10000));
    const QString sent = QString::fromStdString(ReadSetting("setting"));
    SetupRecord parsed{};
    ParseSettingString(sent.toStdString(), parsed);
    EXPECT_EQ(readFile(s.nextFile.toStdString()), bytesOf(parsed));
    EXPECT_EQ(parsed.overspeedLimit, 95);
    EXPECT_EQ(parsed.harshAccelLevel, 8);
    EXPECT_EQ(parsed.timezoneHour, -3);
    EXPECT_EQ(parsed.timezoneMinute, -30);
    EXPECT_EQ(GetSetupText(parsed.vehicleNumber), "12가3456");
    EXPECT_FLOAT_EQ(parsed.harshBrakeA, -0.42f);
}

TEST(SetupPage, NetworkTwoIsSavedAsTwoAndShownAsSix) {
    app();
    WriteSetting("setting", "");
    QTemporaryDir dir;
    OpenSetup s;
    QStringList values = pageValues(s.dlg);
    values[34] = "3";
    s.nextFile = dir.path() + "/net.cfg";
    s.command("btnSave", values.join('|'));
    SetupRecord file{};
    OverlaySetupBytes(
        file, std::span(reinterpret_cast<const uint8_t*>(readFile(s.nextFile.toStdString()).data()), 700));
    EXPECT_EQ(file.network, 2);
    s.command("btnLoad", {}, true);
    EXPECT_EQ(pageValues(s.dlg)[34], "7");
    EXPECT_EQ(s.dlg.record().network, 6);
}

TEST(SetupPage, WriteThenReopenShowsTheWrittenString) {
    app();
    WriteSetting("setting", "");
    {
        OpenSetup s;
        EXPECT_EQ(evaluate(s.dlg, QStringLiteral("userSet(0, 140) && userSet(14, 5) && userSet(55, 'Fleet')"))
                      .toBool(),
                  true);
        QSignalSpy finished(&s.dlg, &QDialog::finished);
        evaluate(s.dlg, QStringLiteral("document.getElementById('btnWrite').click()")); // OK
        ASSERT_TRUE(finished.count() > 0 || finished.wait(10000));
        EXPECT_EQ(s.dlg.result(), QDialog::Accepted);
    }
    OpenSetup again;
    const QStringList values = pageValues(again.dlg);
    EXPECT_EQ(values[0], "140");
    EXPECT_EQ(values[14], "5");
    EXPECT_EQ(values[55], "Fleet");
    EXPECT_EQ(again.dlg.record().gSensor, 4);

    // Defaults again from the page's button.
    again.command("btnDefault", {}, true);
    EXPECT_EQ(pageValues(again.dlg)[0], "128");
}

TEST(SetupPage, LoadFromTheOpenRecording) {
    app();
    WriteSetting("setting", "");
    std::optional<SetupRecordBytes> open;
    OpenSetup s([&] { return open; });
    s.command("btnLoadfrommovie");
    EXPECT_EQ(s.messages.back(), QString::fromStdString(s.text("FOUND_NOT_CONFIG_INFORMATION")));
    SetupRecord r = sampleRecord();
    SetSetupText(r.passwd, "pw");
    open = SerializeSetupRecord(r);
    s.command("btnLoadfrommovie", {}, true);
    EXPECT_EQ(s.messages.back(), QString::fromStdString(s.text("COMPLETE")));
    EXPECT_EQ(pageValues(s.dlg)[0], "110");
    EXPECT_EQ(GetSetupText(s.dlg.record().passwd), "");
}

TEST(SetupPage, EveryControlKeepsEveryValueItOffers) {
    app();
    WriteSetting("setting", "");
    OpenSetup s;
    // For each control: each choice, or the ends of its range and one step beyond them (which the
    // page must hold back), or an over-long text. The strings are checked below.
    const QString script = QStringLiteral(R"((function(){
      var out = [];
      describeControls().forEach(function(c){
        if (c.fixed) { out.push({idx:c.idx, fixed:true, ok:!userSet(c.idx, 1)}); return; }
        if (c.idx === 36) userSet(19, 1); // the LED scenario is free only while the security LED is off
        var tries = [];
        if (c.kind === 'choice') tries = c.options;
        else if (c.kind === 'text') tries = ['x'.repeat(c.bytes + 5), '가'.repeat(c.bytes)];
        else tries = [c.min, c.max, c.min - 1, c.max + 1];
        tries.forEach(function(v){
          userSet(c.idx, v);
          out.push({idx:c.idx, kind:c.kind, tried:String(v), min:c.min, max:c.max, bytes:c.bytes, s:getSettingString()});
        });
      });
      return JSON.stringify(out);
    })())");
    const QJsonArray results = QJsonDocument::fromJson(evaluate(s.dlg, script).toString().toUtf8()).array();
    ASSERT_GT(results.size(), 150);
    int checked = 0;
    for (const QJsonValue& v : results) {
        const QJsonObject o = v.toObject();
        const int idx = o["idx"].toInt();
        if (o["fixed"].toBool()) {
            EXPECT_TRUE(o["ok"].toBool()) << "a value the camera sets can be changed: " << idx;
            continue;
        }
        const QStringList sent = o["s"].toString().split('|');
        ASSERT_EQ(sent.size(), kSettingStringValues);
        SetupRecord r{};
        ParseSettingString(sent.join('|').toStdString(), r);
        const QStringList back = QString::fromStdString(MakeSettingString(r)).split('|');
        const QString kind = o["kind"].toString();
        const std::string where =
            "value " + std::to_string(idx) + " tried " + o["tried"].toString().toStdString();
        if (kind == "float") {
            EXPECT_NEAR(sent[idx].toDouble(), back[idx].toDouble(), 1e-5) << where;
            EXPECT_GE(sent[idx].toDouble(), o["min"].toDouble()) << where;
            EXPECT_LE(sent[idx].toDouble(), o["max"].toDouble()) << where;
        } else if (kind == "text") {
            EXPECT_EQ(sent[idx], back[idx]) << where; // nothing cut off by the record
            EXPECT_FALSE(sent[idx].isEmpty()) << where;
        } else {
            EXPECT_EQ(sent[idx], back[idx]) << where;
            if (kind == "number" || kind == "slide") {
                EXPECT_GE(sent[idx].toInt(), o["min"].toInt()) << where;
                EXPECT_LE(sent[idx].toInt(), o["max"].toInt()) << where;
            }
        }
        ++checked;
    }
    EXPECT_GT(checked, 150);

    // The security LED's third choice stands for "on" with the scenario: the scenario follows it.
    EXPECT_TRUE(evaluate(s.dlg, QStringLiteral("userSet(19, 3)")).toBool());
    EXPECT_FALSE(evaluate(s.dlg, QStringLiteral("userSet(36, 1)")).toBool());
    EXPECT_EQ(pageValues(s.dlg)[36], "2");
}

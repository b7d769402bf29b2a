// The sample card's camera files read back through the same code the player uses on a real card.
#include "programs/quillent-samplecard/camera_files.cpp" // generator code, compiled into this test

#include "core/camera/CWBCIniLoader.h"
#include "core/camera/SettingString.h"
#include "core/tools/EventLog.h"
#include "core/trackdata/InformationRecord.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

TEST(SampleCameraFiles, ReadBackThroughTheCardCode) {
    fs::path card = fs::temp_directory_path() / ("quillent-samplefiles-" + std::to_string(getpid()));
    fs::remove_all(card);
    WriteSampleCameraFiles(card);

    testing::internal::CaptureStdout();
    CWBCIniLoader ini;
    RegisterQuickSettingItems(ini);
    ini.Load(card / "setup.ini");
    std::string diagnostics = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(ini.loaded());
    int32_t v = 0;
    ASSERT_TRUE(ini.GetInt("LCD_OFF_TIME", v));
    EXPECT_EQ(v, 2);
    EXPECT_GE(ini.ignoredLines(), 1); // FW_AUTO_UPDATE, which the program does not register
    EXPECT_NE(diagnostics.find("line(s) with no registered item were ignored"), std::string::npos) << diagnostics;

    SetupRecord setup = DefaultSetupRecord();
    ASSERT_TRUE(LoadSetupFile(card / "setup.cfg", setup).ok);
    EXPECT_EQ(GetSetupText(setup.company), "Halvorn Logistics");
    EXPECT_EQ(GetSetupText(setup.model), "Morvent");
    // What the page would send back for it parses to the same record.
    SetupRecord parsed;
    ParseSettingString(MakeSettingString(setup), parsed);
    EXPECT_EQ(SerializeSetupRecord(parsed), SerializeSetupRecord(setup));

    EventLogExportResult exported = ExportEventLog(card / "eventlog.bin", card / "eventlog.csv");
    ASSERT_TRUE(exported.ok) << exported.error;
    EXPECT_EQ(exported.lines, 18); // the ring buffer's older end is not exported
    fs::remove_all(card);
}

TEST(SampleCameraFiles, InformationRecordRoundTrip) {
    RecordingInfoTexts info{"Halvorn Logistics", "Delivery Van 12", "\xEB\xB0\x95\xEB\xAF\xBC\xEC\xA4\x80",
                            "1.6.3.5", "SN-0042"};
    auto record = MakeInformationRecord(info, "fleet", "s3cret");
    EXPECT_EQ(record.back(), 0);

    struct OneRecord : RecordSource {
        std::vector<uint8_t> bytes;
        bool done = false;
        int GetNextRecord(uint8_t* buffer, uint32_t* size, uint32_t* ts) override {
            if (done)
                return 1;
            done = true;
            std::memcpy(buffer, bytes.data(), bytes.size());
            *size = static_cast<uint32_t>(bytes.size());
            *ts = 0;
            return 0;
        }
        void Rewind() override { done = false; }
    } source;
    source.bytes = record;
    RecordingDataLoader loader;
    RecordingData data = loader.Load(&source);
    EXPECT_EQ(data.info.company, info.company);
    EXPECT_EQ(data.info.driver, info.driver); // Korean name through CP949 and back
    EXPECT_EQ(data.info.version, info.version);
    EXPECT_EQ(data.info.serialNumber, info.serialNumber);
    EXPECT_EQ(data.recordingId, "fleet");
    EXPECT_EQ(data.recordingPassword, "s3cret");
}

} // namespace

// The record loop of an opened recording, driven through an in-memory record source.
#include "core/trackdata/RecordingDataLoader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Record {
    std::vector<uint8_t> bytes;
    uint32_t timestampMs = 0;
};

// Delivers its records, then fails every further read (as the reader does at the end).
class FakeSource : public RecordSource {
public:
    explicit FakeSource(std::vector<Record> records) : m_records(std::move(records)) {}
    int GetNextRecord(uint8_t* buffer, uint32_t* size, uint32_t* timestampMs) override {
        ++calls;
        if (m_next >= m_records.size())
            return 1;
        const Record& r = m_records[m_next++];
        uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(r.bytes.size()), *size);
        if (n > 0)
            std::memcpy(buffer, r.bytes.data(), n);
        *size = n;
        *timestampMs = r.timestampMs;
        return 0;
    }
    void Rewind() override { m_next = 0; }
    int calls = 0;

private:
    std::vector<Record> m_records;
    size_t m_next = 0;
};

// Never runs dry.
class EndlessSource : public RecordSource {
public:
    int GetNextRecord(uint8_t* buffer, uint32_t* size, uint32_t*) override {
        buffer[0] = 'M';
        *size = 4;
        return 0;
    }
    void Rewind() override {}
};

Record text(const std::string& s, uint32_t ts = 0) {
    return {std::vector<uint8_t>(s.begin(), s.end()), ts};
}

Record setupPiece(const SetupRecord& r, int piece) {
    return {MakeSetupZPieces(r)[piece - 1], 0};
}

// The texts sit in pieces 2 to 5; the sixth piece only completes the record.
std::vector<Record> setupPieces(const SetupRecord& r, std::vector<Record> after = {}) {
    std::vector<Record> records;
    for (int piece = 1; piece <= 6; ++piece)
        records.push_back(setupPiece(r, piece));
    records.insert(records.end(), after.begin(), after.end());
    return records;
}

SetupRecord protectedSetup(const char* user, const char* passwd) {
    SetupRecord r = DefaultSetupRecord();
    SetSetupText(r.company, "Halvorn Freight");
    SetSetupText(r.vehicle, "Truck 7");
    SetSetupText(r.driver, "J. Kim");
    SetSetupText(r.user, user);
    SetSetupText(r.passwd, passwd);
    return r;
}

TEST(RecordingDataLoader, FillsArraysStoreAndInformationTexts) {
    FakeSource source({
        text("M\x90\x80\x70", 100),
        text("4\xA0\x80\x80", 200),
        text("$GPRMC,010203,A,3723.2475,N,12658.3416,E,5,90,070524,,,A,0", 300),
        text("$GPRMC,010204,A,3723.2475,N,12658.3416,E,5,90,070524,,,A,E", 1300),
        text("$GPRMC,010205,A", 2300),
        text("I0,1,2,1.6.3.5,Halvorn Freight,Truck 7,J. Kim,,,SN-0042", 2400),
    });
    RecordingDataLoader loader;
    RecordingData data = loader.Load(&source);

    ASSERT_EQ(data.gsensor.size(), 2u);
    EXPECT_EQ(data.gsensor[0].range, 8);
    EXPECT_EQ(data.gsensor[0].x, 1.0f);
    EXPECT_EQ(data.gsensor[1].range, 4);
    ASSERT_EQ(data.gps.size(), 3u); // the cut sentence still yields a sample
    EXPECT_EQ(data.gps[1].event, 'E');
    EXPECT_EQ(data.store.gps().size(), 3u);
    EXPECT_EQ(data.store.gsensor().size(), 2u);
    EXPECT_EQ(data.store.gps()[1].timestampMs, 1300u);
    // Each array sample keeps its record's time, so views look it up by time.
    EXPECT_EQ(data.gpsTimesMs, (std::vector<uint32_t>{300, 1300, 2300}));
    EXPECT_EQ(data.gsensorTimesMs, (std::vector<uint32_t>{100, 200}));
    EXPECT_EQ(data.info.version, "1.6.3.5");
    EXPECT_EQ(data.info.company, "Halvorn Freight");
    EXPECT_EQ(data.info.vehicle, "Truck 7");
    EXPECT_EQ(data.info.driver, "J. Kim");
    EXPECT_EQ(data.info.serialNumber, "SN-0042");
    EXPECT_FALSE(data.isProtected());
    EXPECT_FALSE(data.hasSetupRecord);
    EXPECT_EQ(data.recordsDelivered, 6);
    EXPECT_EQ(source.calls, 6 + RecordingDataLoader::kMaxFailedReads);
}

TEST(RecordingDataLoader, SetupRecordFromVRecordKeepsTypeByte) {
    SetupRecord setup = DefaultSetupRecord();
    FakeSource source({{MakeSetupVRecord(setup), 0}});
    RecordingDataLoader loader;
    RecordingData data = loader.Load(&source);
    EXPECT_TRUE(data.hasSetupRecord);
    EXPECT_EQ(data.setupRecord[0], 'V');
    auto expected = SerializeSetupRecord(setup);
    EXPECT_TRUE(std::equal(expected.begin() + 1, expected.end(), data.setupRecord.begin() + 1));
}

TEST(RecordingDataLoader, ZPiecesAssembleTheRecordAndGiveIdentity) {
    SetupRecord setup = protectedSetup("fleet", "s3cret");
    FakeSource source(setupPieces(setup));
    RecordingDataLoader loader;
    RecordingData data = loader.Load(&source);
    EXPECT_TRUE(data.hasSetupRecord);
    EXPECT_EQ(data.setupRecord, SerializeSetupRecord(setup));
    EXPECT_EQ(data.info.company, "Halvorn Freight");
    EXPECT_EQ(data.info.vehicle, "Truck 7");
    EXPECT_EQ(data.info.driver, "J. Kim");
    EXPECT_EQ(data.recordingId, "fleet");
    EXPECT_EQ(data.recordingPassword, "s3cret");
    EXPECT_TRUE(data.isProtected());

    // The setup page's "load from recording" never shows the recording's credentials.
    SetupRecord page = DefaultSetupRecord();
    LoadSetupFromRecordingCopy(page, data.setupRecord);
    EXPECT_EQ(GetSetupText(page.company), "Halvorn Freight");
    EXPECT_EQ(GetSetupText(page.user), "");
    EXPECT_EQ(GetSetupText(page.passwd), "");
}

TEST(RecordingDataLoader, SixthPieceAloneKeepsPreviousRecordingsBytes) {
    RecordingDataLoader loader;
    SetupRecord first = protectedSetup("a", "b");
    FakeSource one({{MakeSetupVRecord(first), 0}});
    loader.Load(&one);

    SetupRecord second = protectedSetup("c", "d");
    FakeSource two({setupPiece(second, 6)});
    RecordingData data = loader.Load(&two);
    EXPECT_TRUE(data.hasSetupRecord);
    auto firstBytes = MakeSetupVRecord(first);
    auto secondBytes = SerializeSetupRecord(second);
    EXPECT_TRUE(std::equal(firstBytes.begin(), firstBytes.begin() + 500, data.setupRecord.begin()));
    EXPECT_TRUE(std::equal(secondBytes.begin() + 500, secondBytes.end(), data.setupRecord.begin() + 500));

    FakeSource unknownPiece({text("Z7abc"), text("Z")});
    EXPECT_FALSE(loader.Load(&unknownPiece).hasSetupRecord);
}

TEST(RecordingDataLoader, MasterPasswordRules) {
    const std::string master(kMasterPassword);
    RecordingDataLoader loader;
    {
        // An information record never gives the master password as ID or password.
        FakeSource source(setupPieces(protectedSetup("fleet", "pw"),
                                      {text("I,,,v,c,veh,drv," + master + "," + master + ",sn")}));
        RecordingData data = loader.Load(&source);
        EXPECT_EQ(data.recordingId, "fleet");
        EXPECT_EQ(data.recordingPassword, "pw");
    }
    {
        // ID and password both the master password: not protected.
        FakeSource source(setupPieces(protectedSetup(master.c_str(), master.c_str())));
        EXPECT_FALSE(loader.Load(&source).isProtected());
    }
    {
        // Only the ID is the master password: still protected.
        FakeSource source(setupPieces(protectedSetup(master.c_str(), "other")));
        RecordingData data = loader.Load(&source);
        EXPECT_TRUE(data.isProtected());
        EXPECT_EQ(data.recordingId, master);
    }
    {
        // Later information records overwrite earlier ones; empty ID fields do not clear.
        FakeSource source({text("I,,,v1,c1,,,id1,pw1,sn1"), text("I,,,v2,c2,,,,pw2")});
        RecordingData data = loader.Load(&source);
        EXPECT_EQ(data.info.version, "v2");
        EXPECT_EQ(data.info.serialNumber, "");
        EXPECT_EQ(data.recordingId, "id1");
        EXPECT_EQ(data.recordingPassword, "pw2");
    }
}

TEST(RecordingDataLoader, AMergedRecordingStaysProtected) {
    // A protected part followed by parts whose setup says "no protection" (empty, or the master
    // password as both ID and password), and the other way round.
    const std::string master(kMasterPassword);
    const std::vector<Record> protectedPart =
        setupPieces(protectedSetup("fleet", "pw"), {text("I,,,v,c,veh,drv,fleet,pw,sn")});
    for (const SetupRecord& open : {protectedSetup("", ""), protectedSetup(master.c_str(), master.c_str())}) {
        std::vector<Record> records = protectedPart;
        for (const Record& r : setupPieces(open))
            records.push_back(r);
        FakeSource after(records);
        RecordingDataLoader loader;
        RecordingData data = loader.Load(&after);
        EXPECT_TRUE(data.isProtected());
        EXPECT_EQ(data.recordingId, "fleet");

        std::vector<Record> reversed = setupPieces(open);
        for (const Record& r : protectedPart)
            reversed.push_back(r);
        FakeSource before(reversed);
        EXPECT_TRUE(RecordingDataLoader().Load(&before).isProtected());
    }
}

TEST(RecordingDataLoader, IdentityQuestionRemembersLastAcceptedPair) {
    RecordingDataLoader loader;
    RecordingIdentity identity;
    FakeSource a(setupPieces(protectedSetup("fleet", "s3cret")));
    RecordingData data = loader.Load(&a);
    EXPECT_TRUE(identity.NeedsQuestion(data));
    EXPECT_FALSE(identity.Accept(data, "fleet", "S3CRET")); // case-sensitive
    EXPECT_FALSE(identity.Accept(data, "", ""));
    EXPECT_TRUE(identity.Accept(data, "fleet", "s3cret"));

    FakeSource b(setupPieces(protectedSetup("fleet", "s3cret")));
    EXPECT_FALSE(identity.NeedsQuestion(loader.Load(&b)));
    FakeSource c(setupPieces(protectedSetup("fleet", "other")));
    EXPECT_TRUE(identity.NeedsQuestion(loader.Load(&c)));
    FakeSource none({});
    EXPECT_FALSE(identity.NeedsQuestion(loader.Load(&none)));
}

TEST(RecordingDataLoader, EventMarksSpreadOverTheTimeLine) {
    std::vector<CGpsData> one(1);
    one[0].event = 'E';
    EXPECT_EQ(ComputeEventMarks(one), (std::vector<EventMark>{{260, 'E'}}));
    std::vector<CGpsData> four(4);
    four[0].event = 'S';
    EXPECT_EQ(ComputeEventMarks(four), (std::vector<EventMark>{{65, 'S'}}));
    std::vector<CGpsData> three(3);
    three[0].event = three[1].event = 'A';
    EXPECT_EQ(ComputeEventMarks(three), (std::vector<EventMark>{{86, 'A'}, {173, 'A'}}));
    EXPECT_TRUE(ComputeEventMarks({}).empty());
}

TEST(RecordingDataLoader, NoSourceOrBadSourcesEndTheLoop) {
    RecordingDataLoader loader;
    RecordingData none = loader.Load(nullptr);
    EXPECT_TRUE(none.gps.empty());
    EXPECT_FALSE(none.hasSetupRecord);

    // Empty deliveries are not setup records.
    FakeSource empty({{{}, 0}, {{}, 0}});
    RecordingData e = loader.Load(&empty);
    EXPECT_FALSE(e.hasSetupRecord);
    EXPECT_EQ(e.recordsDelivered, 2);

    EndlessSource endless;
    RecordingDataLoader capped(5000);
    RecordingData big = capped.Load(&endless);
    EXPECT_EQ(big.recordsDelivered, 5000);
    EXPECT_EQ(big.gsensor.size(), 5000u);
}

// Failed reads between delivered records count towards the 1000 in total, not in a row: after the
// 1000th failure the loop ends even though records arrived in between.
TEST(RecordingDataLoader, FailuresCountInTotalAndSRecordsStayOutOfTheGsensorArray) {
    class Gappy : public RecordSource {
    public:
        int GetNextRecord(uint8_t* buffer, uint32_t* size, uint32_t* timestampMs) override {
            ++calls;
            // A record every 600 reads: calls 1, 601, 1201, 1801.
            if ((calls - 1) % 600 != 0)
                return 1;
            buffer[0] = 'M';
            buffer[1] = buffer[2] = buffer[3] = 128;
            *size = 4;
            *timestampMs = uint32_t(calls);
            return 0;
        }
        void Rewind() override {}
        int calls = 0;
    } gappy;
    RecordingDataLoader loader;
    RecordingData d = loader.Load(&gappy);
    EXPECT_EQ(d.recordsDelivered, 2);
    EXPECT_EQ(gappy.calls, 2 + 1000);

    // "S" records (16-bit G-sensor) go to the store only; the position-indexed array holds the
    // three-byte samples, one per record, in order.
    FakeSource mixed({text("M\x81\x82\x83", 0),
                      {{'S', 8, 1, 0, 2, 0, 3, 0}, 40},
                      text("4\x80\x80\x80", 80),
                      {{'S', 10, 1, 0, 2, 0, 3, 0}, 120}});
    RecordingData m = loader.Load(&mixed);
    EXPECT_EQ(m.recordsDelivered, 4);
    ASSERT_EQ(m.gsensor.size(), 2u);
}

} // namespace

#include "core/trackdata/RecordingSummary.h"

namespace {

TEST(RecordingSummary, ShowsProtectionButNeverTheCredentials) {
    SetupRecord setup = protectedSetup("fleet", "s3cret");
    std::vector<Record> records = setupPieces(setup);
    records.push_back(text("$GPRMC,010203,A,3723.2475,N,12658.3416,E,5,90,070524,,,A,E"));
    FakeSource source(records);
    RecordingDataLoader loader;
    auto lines = SummariseRecordingData(loader.Load(&source));
    std::string all;
    for (const auto& l : lines)
        all += l + "\n";
    EXPECT_NE(all.find("company: Halvorn Freight\n"), std::string::npos);
    EXPECT_NE(all.find("protected: yes\n"), std::string::npos);
    EXPECT_NE(all.find("setup record: present (model Morvent, version 1.6.3.5)\n"), std::string::npos);
    EXPECT_NE(all.find("GPS samples: 1 (1 valid)\n"), std::string::npos);
    EXPECT_NE(all.find("event marks: 260:E\n"), std::string::npos);
    EXPECT_EQ(all.find("s3cret"), std::string::npos);
    EXPECT_EQ(all.find("fleet"), std::string::npos);
}

} // namespace

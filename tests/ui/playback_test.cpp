// Opening and playing recordings of generated sample cards end to end, headless: the real engine
// draws into real video screens; the page, the list and the message boxes are recorded.
#include "PlaybackRig.h"
#include "WindowTestApp.h"

#include "ui/playback/PlaybackValues.h"
#include "ui/playback/Player.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// The card's recordings in list order (time key of the name, then name).
std::vector<fs::path> cardRecordings() {
    std::vector<fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(sampleCard())) {
        const std::string ext = e.path().extension().string();
        if (e.is_regular_file() && (ext == ".qmv" || ext == ".avi" || ext == ".mp4"))
            files.push_back(e.path());
    }
    std::stable_sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        const auto ka = GetNameTimeKey(a.filename().string()), kb = GetNameTimeKey(b.filename().string());
        return ka != kb ? ka < kb : a.filename() < b.filename();
    });
    return files;
}

class Playback : public ::testing::Test {
protected:
    void SetUp() override {
        rig = std::make_unique<PlaybackRig>();
        player = std::make_unique<Player>(rig->session, rig->state, *rig, rig->busy, &rig->window);
        rig->attach(*player);
        player->setMouseHeld([this] { return rig->mouseDown; });
        rig->files = cardRecordings();
        ASSERT_GE(rig->files.size(), 2u);
    }
    void TearDown() override {
        player.reset();
        rig.reset();
    }

    // Opens a row as a list click does and waits for the busy window to go.
    bool openRow(int row) {
        QSignalSpy finished(player.get(), &Player::openFinished);
        player->openRow(row);
        return finished.wait(20000);
    }
    // Lets the clock run until `pred` holds (or the wait gives up).
    template <class Pred> bool runUntil(Pred pred, int maxTicks = 100) {
        QSignalSpy ticks(player.get(), &Player::ticked);
        for (int i = 0; i < maxTicks && !pred(); ++i) {
            if (!ticks.wait(3000) && !pred())
                return pred();
        }
        return pred();
    }
    int firstRowOfKind(int kind) const {
        for (size_t i = 0; i < rig->files.size(); ++i)
            if (GetRecordingKind(rig->files[i].filename().string()) == kind)
                return static_cast<int>(i);
        return -1;
    }

    std::unique_ptr<PlaybackRig> rig;
    std::unique_ptr<Player> player;
};

} // namespace

TEST(OpeningRules, TimeLabelRangeBrightnessAndRates) {
    EXPECT_EQ(Player::formatTimeLabel((61 * 60 + 5) * 1000), "00:00 / 01:05");
    EXPECT_EQ(Player::formatTimeLabel(59999), "00:00 / 00:59");
    EXPECT_EQ(PlaybackValues::trackRange(60000), 59000);
    EXPECT_EQ(PlaybackValues::trackRange(0), 0);
    EXPECT_EQ(PlaybackValues::brightnessLevel(20), 255);
    EXPECT_EQ(PlaybackValues::brightnessLevel(0), -255);
    EXPECT_EQ(PlaybackValues::brightnessLevel(10), 0);
    EXPECT_EQ(PlaybackValues::brightnessLevel(13), 76);
    EXPECT_FLOAT_EQ(PlaybackValues::rateForIndex(3), 3.4f);
    EXPECT_FLOAT_EQ(PlaybackValues::rateForIndex(9), 1.0f);
}

TEST_F(Playback, OpeningARowPlaysWithRangeLabelMarksAndAMovingClock) {
    ASSERT_TRUE(openRow(0));
    EXPECT_TRUE(rig->messages.empty()) << rig->messages.front().first.toStdString();
    EXPECT_EQ(player->state(), PlaybackEngine::State::Running);
    const uint64_t duration = player->durationMs();
    ASSERT_GT(duration, 1000u);
    EXPECT_EQ(rig->last("callInternal:setRange").toLongLong(),
              static_cast<long long>(duration - duration / 60));
    EXPECT_EQ(player->timeLabel(), Player::formatTimeLabel(duration));
    EXPECT_EQ(rig->openName(), QString::fromStdString(rig->files[0].filename().string()));
    EXPECT_EQ(rig->marks, 1);
    EXPECT_EQ(rig->last("callInternal:setChannel").toInt(), player->channelCount());

    // Event marks sit at (i + 1) * 260 / n of the GPS samples with an event.
    const auto expected = ComputeEventMarks(rig->session.trackData().gps);
    ASSERT_EQ(rig->count("addEventMark"), static_cast<int>(expected.size()));
    int k = 0;
    for (const PageCall& c : rig->calls) {
        if (c.function != "addEventMark")
            continue;
        EXPECT_EQ(c.args.value(0).toInt(), expected[k].x);
        ++k;
    }

    // The clock moves the time line forward.
    const auto before = rig->count("callInternal:setPos");
    ASSERT_TRUE(runUntil([&] { return rig->last("callInternal:setPos").toLongLong() >= 500; }));
    EXPECT_GT(rig->count("callInternal:setPos"), before);
    EXPECT_FALSE(rig->panelPositions.empty());
    EXPECT_TRUE(rig->screens[0]->isVisible() || !rig->window.isVisible());
    EXPECT_TRUE(runUntil([&] { return rig->screens[0]->hasFrame(); }));
}

TEST_F(Playback, APausedRecordingIsNotRedrawnEveryTick) {
    ASSERT_TRUE(openRow(0));
    ASSERT_TRUE(runUntil([&] { return rig->last("callInternal:setPos").toLongLong() > 0; }));
    player->playPause();
    ASSERT_EQ(player->state(), PlaybackEngine::State::Paused);
    player->tick(); // the position the pause settled on
    const int shown = rig->count("callInternal:setPos");
    const int speeds = rig->count("drawSpeed");
    const size_t panels = rig->panelPositions.size();
    player->tick();
    player->tick();
    EXPECT_EQ(rig->count("callInternal:setPos"), shown);
    EXPECT_EQ(rig->count("drawSpeed"), speeds);
    EXPECT_EQ(rig->panelPositions.size(), panels);
    EXPECT_TRUE(player->isRunning());
    // A step while paused is drawn.
    player->stepBack();
    player->tick();
    EXPECT_GT(rig->count("callInternal:setPos"), shown);
}

TEST_F(Playback, AHeldMouseButtonFreezesTheClockAndTheLoopJumpsBack) {
    ASSERT_TRUE(openRow(0));
    ASSERT_TRUE(runUntil([&] { return rig->last("callInternal:setPos").toLongLong() > 0; }));
    rig->mouseDown = true;
    const int shown = rig->count("callInternal:setPos");
    player->tick();
    player->tick();
    EXPECT_EQ(rig->count("callInternal:setPos"), shown);
    EXPECT_TRUE(player->isRunning()); // re-armed, catching up on release
    rig->mouseDown = false;

    rig->state.loopActive = true;
    rig->state.loopStart = 0;
    rig->state.loopEnd = 600;
    long long highest = 0;
    bool jumpedBack = runUntil([&] {
        const long long pos = rig->last("callInternal:setPos").toLongLong();
        const bool back = highest >= 300 && pos < highest - 200;
        highest = std::max(highest, pos);
        return back;
    });
    EXPECT_TRUE(jumpedBack);
    EXPECT_LT(highest, 1600);
}

TEST_F(Playback, NextAndPreviousKeepToTheKindFilter) {
    // A kind with two recordings and, ideally, one of another kind between them.
    int kind = 0, first = -1, second = -1;
    for (int k = kKindEmergency; k <= kKindMotion && second < 0; ++k) {
        std::vector<int> rows;
        for (size_t i = 0; i < rig->files.size(); ++i)
            if (GetRecordingKind(rig->files[i].filename().string()) == k)
                rows.push_back(static_cast<int>(i));
        if (rows.size() >= 2) {
            kind = k;
            first = rows[0];
            second = rows[1];
        }
    }
    ASSERT_GT(kind, 0) << "the sample card has no kind with two recordings";
    rig->kind = kind;
    ASSERT_TRUE(openRow(first));
    QSignalSpy finished(player.get(), &Player::openFinished);
    player->openNext();
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_EQ(rig->state.selectedIndex, second);
    EXPECT_EQ(rig->openName(), QString::fromStdString(rig->files[second].filename().string()));
    player->openPrevious();
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_EQ(rig->state.selectedIndex, first);
    // Nothing of the kind before the first one: nothing happens.
    player->openPrevious();
    EXPECT_EQ(rig->state.selectedIndex, first);
    EXPECT_FALSE(player->isBusy());
    EXPECT_EQ(player->state(), PlaybackEngine::State::Running);
}

TEST_F(Playback, TheEndOfTheLastRecordingOfAKindReturnsToIdle) {
    // The last row of its kind: the kind of the card's last recording.
    const int last = static_cast<int>(rig->files.size()) - 1;
    rig->kind = GetRecordingKind(rig->files[last].filename().string());
    ASSERT_TRUE(openRow(last));
    const uint64_t duration = player->durationMs();
    player->seek(static_cast<int64_t>(duration) - 300);
    ASSERT_TRUE(runUntil([&] { return player->state() == PlaybackEngine::State::Closed; }, 200));
    EXPECT_TRUE(rig->openName().isEmpty());
    EXPECT_EQ(rig->last("callInternal:setPos"), "0");
    EXPECT_EQ(rig->last("callInternal:setRange"), "0"); // no "00:59 2CH" left in the time box
    EXPECT_EQ(rig->last("callInternal:setChannel"), "0");
    EXPECT_EQ(rig->calls.back().function, "callInternal:setPlay"); // after the marks were cleared
    EXPECT_GT(rig->count("clearEventMark"), 1);
    EXPECT_EQ(rig->last("drawSpeed"), "0");
    EXPECT_EQ(rig->state.selectedIndex, -1);
    EXPECT_FALSE(player->isRunning());
}

TEST_F(Playback, TheEndOfARecordingMovesToTheNextOfItsKindAfterASecond) {
    rig->kind = 1;
    ASSERT_TRUE(openRow(0));
    const uint64_t duration = player->durationMs();
    player->seek(static_cast<int64_t>(duration) - 200);
    ASSERT_TRUE(runUntil([&] { return player->isOpenPending(); }, 200));
    EXPECT_EQ(player->openDelayMs(), Player::kOpenNextMs);
    EXPECT_EQ(rig->state.selectedIndex, 1);
    QSignalSpy finished(player.get(), &Player::openFinished);
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_EQ(player->state(), PlaybackEngine::State::Running);
    EXPECT_EQ(rig->openName(), QString::fromStdString(rig->files[1].filename().string()));
}

TEST_F(Playback, LeavingOrOpeningCancelsThePendingOpenOfTheNextRecording) {
    rig->kind = 1;
    auto endAndWaitForTheNext = [&] {
        player->seek(static_cast<int64_t>(player->durationMs()) - 200);
        return runUntil([&] { return player->isOpenPending(); }, 200);
    };
    ASSERT_TRUE(openRow(0));
    ASSERT_TRUE(endAndWaitForTheNext());
    player->returnToIdle(); // Esc within the second: no open (and no error box) follows
    EXPECT_FALSE(player->isOpenPending());

    // A row click within the second opens that row, once.
    ASSERT_TRUE(openRow(0));
    ASSERT_TRUE(endAndWaitForTheNext());
    ASSERT_TRUE(openRow(2));
    EXPECT_FALSE(player->isOpenPending());
    EXPECT_EQ(rig->session.recording().listIndex, 2);

    // Previous within the second (row 3 is already shown as the next): row 2 plays, and the
    // next one does not follow a moment later.
    ASSERT_TRUE(endAndWaitForTheNext());
    EXPECT_EQ(rig->highlighted, 3);
    QSignalSpy finished(player.get(), &Player::openFinished);
    player->openPrevious();
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_FALSE(player->isOpenPending());
    EXPECT_EQ(rig->session.recording().listIndex, 2);
    EXPECT_EQ(rig->state.selectedIndex, 2);
    EXPECT_TRUE(rig->messages.empty());
}

TEST_F(Playback, ALoopBelongsToItsRecordingAndTakesItsPointsInEitherOrder) {
    ASSERT_TRUE(openRow(0));
    // B set before A: played between the two, not frozen on A with a seek on every tick.
    rig->state.loopActive = true;
    rig->state.loopStart = 1500;
    rig->state.loopEnd = 500;
    long long highest = 0;
    EXPECT_TRUE(runUntil(
        [&] {
            const long long pos = rig->last("callInternal:setPos").toLongLong();
            const bool back = highest >= 1200 && pos < highest - 300;
            highest = std::max(highest, pos);
            return back;
        },
        200));
    EXPECT_LT(highest, 2100);

    // The next recording plays on its own, past where the loop was.
    const int cleared = rig->count("clearLoopRange");
    ASSERT_TRUE(openRow(1));
    EXPECT_FALSE(rig->state.loopActive);
    EXPECT_GT(rig->count("clearLoopRange"), cleared);
    EXPECT_TRUE(runUntil([&] { return rig->last("callInternal:setPos").toLongLong() >= 1800; }, 200));
}

TEST_F(Playback, AProtectedRecordingAsksUntilThePairMatchesAndOnlyOnce) {
    // The identity of the recording comes from its records; the loader here gives a protected one.
    player->setTrackLoader([](const fs::path&, std::string*) {
        LoadedTrackData d;
        d.recordingId = "fleet7";
        d.recordingPassword = "Pa55";
        return d;
    });
    std::vector<std::pair<QString, QString>> answers = {{"fleet7", "pa55"}, {"fleet7", "Pa55"}};
    int asked = 0;
    player->setCredentialsAsker([&]() -> std::optional<std::pair<QString, QString>> {
        EXPECT_FALSE(rig->screens[0]->isVisibleTo(&rig->window)); // hidden while asking
        return answers.at(asked++);
    });
    ASSERT_TRUE(openRow(0));
    EXPECT_EQ(asked, 2);
    ASSERT_EQ(rig->messages.size(), 1u); // "WRONG_USERINFO" once, for the wrong case
    EXPECT_EQ(rig->messages[0].second, MessageIcon::None);
    EXPECT_EQ(player->lastAcceptedId(), "fleet7");
    EXPECT_EQ(player->state(), PlaybackEngine::State::Running);
    EXPECT_TRUE(rig->screens[0]->isVisibleTo(&rig->window));

    // The same pair again: no question.
    ASSERT_TRUE(openRow(1));
    EXPECT_EQ(asked, 2);

    // Cancel: nothing of the recording is shown and the window is idle.
    player->setTrackLoader([](const fs::path&, std::string*) {
        LoadedTrackData d;
        d.recordingId = "other";
        d.recordingPassword = "x";
        d.gps.resize(1);
        d.gps[0].event = 'E';
        return d;
    });
    player->setCredentialsAsker([]() { return std::optional<std::pair<QString, QString>>(); });
    const int marksBefore = rig->count("addEventMark");
    ASSERT_TRUE(openRow(0));
    EXPECT_EQ(rig->count("addEventMark"), marksBefore);
    EXPECT_FALSE(rig->screens[0]->isVisibleTo(&rig->window));
    EXPECT_EQ(player->state(), PlaybackEngine::State::Closed);
    EXPECT_FALSE(rig->session.isOpen());
    EXPECT_EQ(rig->session.state(), PlaybackSession::State::Idle);
    EXPECT_TRUE(rig->openName().isEmpty());
    EXPECT_EQ(rig->highlighted, -1);
    EXPECT_EQ(rig->last("callInternal:setPlay"), "0");

    // The master password on both halves means unprotected.
    player->setTrackLoader([](const fs::path&, std::string*) {
        LoadedTrackData d;
        d.recordingId = std::string(kMasterPassword);
        d.recordingPassword = std::string(kMasterPassword);
        return d;
    });
    player->setCredentialsAsker([]() -> std::optional<std::pair<QString, QString>> {
        ADD_FAILURE() << "asked for an unprotected recording";
        return std::nullopt;
    });
    ASSERT_TRUE(openRow(1));
    EXPECT_EQ(player->state(), PlaybackEngine::State::Running);
}

TEST_F(Playback, TheCardsProtectedRecordingAsksForItsOwnPair) {
    const auto it = std::find_if(rig->files.begin(), rig->files.end(),
                                 [](const fs::path& p) { return p.filename() == "RTC20261207_080300.qmv"; });
    ASSERT_NE(it, rig->files.end());
    std::vector<std::pair<QString, QString>> answers = {{"driver01", "0000"}, {"driver01", "2580"}};
    size_t asked = 0;
    player->setCredentialsAsker([&]() -> std::optional<std::pair<QString, QString>> {
        return asked < answers.size() ? std::optional(answers[asked++]) : std::nullopt;
    });
    ASSERT_TRUE(openRow(static_cast<int>(it - rig->files.begin())));
    EXPECT_EQ(asked, 2u);
    EXPECT_EQ(rig->messages.size(), 1u);
    EXPECT_EQ(player->state(), PlaybackEngine::State::Running);
    EXPECT_FALSE(rig->session.trackData().gps.empty());
}

TEST_F(Playback, EventMarksOfARecordingWithEvents) {
    const auto it = std::find_if(rig->files.begin(), rig->files.end(), [](const fs::path& p) {
        return p.filename() == "EMERGENCY_RTC20261207_080230.qmv";
    });
    ASSERT_NE(it, rig->files.end());
    ASSERT_TRUE(openRow(static_cast<int>(it - rig->files.begin())));
    const auto& gps = rig->session.trackData().gps;
    ASSERT_FALSE(gps.empty());
    // Samples 0 and 2 carry "S" and "B": marks at 260 / n and 3 * 260 / n.
    ASSERT_EQ(rig->count("addEventMark"), 2);
    std::vector<PageCall> marks;
    for (const PageCall& c : rig->calls)
        if (c.function == "addEventMark")
            marks.push_back(c);
    const float n = static_cast<float>(gps.size());
    EXPECT_EQ(marks[0].args, QStringList({QString::number(static_cast<int>(260.0f / n)), "S"}));
    EXPECT_EQ(marks[1].args, QStringList({QString::number(static_cast<int>(3 * 260.0f / n)), "B"}));
    // clearEventMark came first.
    const auto clear = std::find_if(rig->calls.begin(), rig->calls.end(),
                                    [](const PageCall& c) { return c.function == "clearEventMark"; });
    const auto add = std::find_if(rig->calls.begin(), rig->calls.end(),
                                  [](const PageCall& c) { return c.function == "addEventMark"; });
    EXPECT_LT(clear - rig->calls.begin(), add - rig->calls.begin());
}

TEST_F(Playback, ATruncatedRecordingStillPlays) {
    QTemporaryDir dir;
    const fs::path cut = fs::path(dir.path().toStdString()) / rig->files[0].filename();
    fs::copy_file(rig->files[0], cut);
    fs::resize_file(cut, fs::file_size(cut) * 6 / 10);
    rig->files = {cut};
    ASSERT_TRUE(openRow(0));
    EXPECT_TRUE(rig->messages.empty());
    EXPECT_EQ(player->state(), PlaybackEngine::State::Running);
    EXPECT_TRUE(runUntil([&] { return rig->last("callInternal:setPos").toLongLong() > 200; }));
}

TEST_F(Playback, AMissingFileSaysSoAndStaysIdle) {
    rig->files = {sampleCard() / "NORMAL" / "gone.qmv"};
    ASSERT_TRUE(openRow(0));
    ASSERT_EQ(rig->messages.size(), 1u);
    EXPECT_EQ(rig->messages[0].second, MessageIcon::Error);
    EXPECT_EQ(player->state(), PlaybackEngine::State::Closed);
    EXPECT_TRUE(rig->openName().isEmpty());
    EXPECT_EQ(rig->state.selectedIndex, -1);
    EXPECT_FALSE(player->isRunning());
}

TEST_F(Playback, ARowTheListDoesNotHaveIsIgnored) {
    rig->state.selectedIndex = 0;
    player->openRow(static_cast<int>(rig->files.size()));
    player->openRow(2147483647);
    EXPECT_FALSE(player->isBusy());
    EXPECT_TRUE(rig->messages.empty());
    EXPECT_EQ(rig->state.selectedIndex, 0);
}

TEST_F(Playback, AStartUpFilePathIsListedAndPlayed) {
    const fs::path file = rig->files[0];
    rig->files.clear();
    QSignalSpy finished(player.get(), &Player::openFinished);
    player->openSingleFile(QString::fromStdString(file.parent_path().string()),
                           QString::fromStdString(file.filename().string()));
    ASSERT_EQ(rig->files.size(), 1u);
    EXPECT_EQ(rig->files[0], file);
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_EQ(player->state(), PlaybackEngine::State::Running);
}

TEST_F(Playback, WhatTheReaderCannotReadIsSaidWhileTheRecordingPlays) {
    // One opening: the busy flag is up for its length, the records' error reaches the user once,
    // and the recording plays with empty panels.
    player->setTrackLoader([](const fs::path&, std::string* error) {
        *error = "REC.qmv: damaged index";
        return RecordingData{};
    });
    QSignalSpy opening(&rig->busy, &BusyFlag::openingChanged);
    ASSERT_TRUE(openRow(0));
    ASSERT_EQ(opening.count(), 2);
    EXPECT_TRUE(opening[0].at(0).toBool());
    EXPECT_FALSE(opening[1].at(0).toBool());
    EXPECT_FALSE(rig->busy.isBusy());
    ASSERT_EQ(rig->messages.size(), 1u);
    EXPECT_EQ(rig->messages[0].first, "REC.qmv: damaged index");
    EXPECT_EQ(rig->messages[0].second, MessageIcon::Information);
    EXPECT_TRUE(rig->session.isOpen());
    EXPECT_EQ(player->state(), PlaybackEngine::State::Running);
}

// What the player tests play on: real video screens (the player's engine draws into them), a real session
// followed by a real page wrapper, a busy flag, and a list of files standing in for the recording
// list, with a record of every page call, message and list change.
#pragma once

#include "OpenTestApp.h"

#include "core/recordings/RecordingName.h"
#include "media/playback/PlaybackEngine.h"
#include "ui/common/PlaybackState.h"
#include "ui/page/MainPage.h"
#include "ui/screens/VideoScreen.h"
#include "ui/playback/BusyFlag.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/playback/RecordingList.h"
#include "ui/playback/Player.h"

#include <QWidget>

#include <array>
#include <vector>

struct PageCall {
    QString function; // "callInternal:setPos", "addEventMark", ...
    QStringList args;
};

class PlaybackRig : public RecordingList {
public:
    PlaybackRig() {
        window.resize(1200, 628);
        for (int i = 0; i < 4; ++i) {
            screens[i] = new VideoScreen(i, &window);
            screens[i]->setGeometry(6 + (i % 2) * 430, 37 + (i / 2) * 250, 420, 236);
        }
        page.follow(session);
        QObject::connect(&session, &PlaybackSession::positionChanged,
                         [this](qint64 pos) { panelPositions.push_back(pos); });
        QObject::connect(&session, &PlaybackSession::recordingOpened, [this] {
            if (session.recording().listIndex >= 0) {
                highlighted = session.recording().listIndex;
                ++marks;
            }
        });
    }

    // Answers the player's message boxes into `messages` and hands it the screens.
    void attach(Player& player) {
        player.setScreens(screens);
        player.setMessageShower([this](const QString& text, MessageIcon icon) {
            messages.push_back({text, icon});
        });
    }

    // RecordingList over `files`.
    int kindFilter() const override { return kind; }
    int recordingCount() const override { return static_cast<int>(files.size()); }
    std::string recordingName(int index) const override {
        return index >= 0 && index < recordingCount() ? files[index].filename().string() : std::string();
    }
    std::filesystem::path rowPath(int index) const override {
        return index >= 0 && index < recordingCount() ? files[index] : std::filesystem::path();
    }
    void selectRow(int index, int) override { highlighted = index; }
    void clearHighlight() override { highlighted = -1; }
    void clearRecordings() override {
        files.clear();
        highlighted = -1;
    }
    void listSingleFile(const std::filesystem::path& path) override { files.push_back(path); }

    // The open recording's name, empty when nothing is open (what the window's title shows).
    QString openName() const { return session.isOpen() ? session.recording().name : QString(); }
    // The value of the last call of a page function ("callInternal:setPos"), empty when none.
    QString last(const QString& function) const {
        for (auto it = calls.rbegin(); it != calls.rend(); ++it)
            if (it->function == function)
                return it->args.value(0);
        return {};
    }
    int count(const QString& function) const {
        int n = 0;
        for (const PageCall& c : calls)
            n += c.function == function;
        return n;
    }

    QApplication* app = ensureTestApp(); // before any widget member
    QWidget window;
    std::array<VideoScreen*, 4> screens{};
    PlaybackSession session;
    BusyFlag busy;
    // The main page's calls as "callInternal:setPos" {value}, "addEventMark" {x, type}, ...
    MainPage page{[this](const QString& function, const QVariantList& args) {
        QStringList texts;
        for (const QVariant& a : args)
            texts << a.toString();
        if (function == "callInternal" && !texts.isEmpty())
            calls.push_back({"callInternal:" + texts.takeFirst(), texts});
        else
            calls.push_back({function, texts});
    }};
    PlaybackState state;
    std::vector<std::filesystem::path> files;
    std::vector<PageCall> calls;
    std::vector<std::pair<QString, MessageIcon>> messages;
    std::vector<int64_t> panelPositions;
    int highlighted = -1;
    int marks = 0;
    bool mouseDown = false;
    int kind = 1;
};

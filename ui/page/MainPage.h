// The main skin page's functions as typed calls (time line, play button, channels, speed read-out,
// event marks, loop range), and the page following the playback session: the one place that
// names those page functions.
#pragma once

#include <QObject>
#include <QString>
#include <QVariantList>

#include <cstdint>
#include <functional>
#include <limits>

class BrowserHost;
class PlaybackSession;

class MainPage : public QObject {
    Q_OBJECT
public:
    // Calls one page function with its arguments (numbers stay numbers, texts stay texts).
    using ScriptCall = std::function<void(const QString& function, const QVariantList& args)>;
    // The speed at a position for the read-out, in km/h (the map view's track); 0 without one.
    using SpeedSource = std::function<double(int64_t positionMs)>;

    explicit MainPage(ScriptCall call, QObject* parent = nullptr);
    // Calls into a web view's page.
    static ScriptCall callsInto(BrowserHost* page);

    // Moves the time line, the play button, the speed read-out and the event marks with the
    // session: opened (range, channels, marks), each position, state and close.
    void follow(PlaybackSession& session);
    void setSpeedSource(SpeedSource source) { m_speedSource = std::move(source); }

    void setPos(int64_t positionMs);
    void setRange(int rangeMs);
    void setPlay();  // the play button shows (nothing plays)
    void setPause(); // the pause button shows (a recording plays)
    void setChannel(int channels);
    void setLoopRange(int rangeMs);
    void clearLoopRange(); // the loop of the previous recording is gone
    void setWindowMap(int value);
    void drawSpeed(int speedTimes1000);
    void clearEventMark();
    void addEventMark(int x, char type);
    void initLanguage(const QString& language);
    void setSpeedUnit(int unit);

private:
    void callInternal(const char* function, const QString& value);
    void showSpeedAt(int64_t positionMs);

    static constexpr int kNoSpeedShown = std::numeric_limits<int>::min();
    ScriptCall m_call;
    SpeedSource m_speedSource;
    PlaybackSession* m_session = nullptr;
    int m_shownSpeed = kNoSpeedShown; // the speed changes once a second at most
};

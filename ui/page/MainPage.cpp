#include "ui/page/MainPage.h"

#include "core/trackdata/RecordingDataLoader.h"
#include "ui/page/BrowserHost.h"
#include "ui/playback/PlaybackSession.h"

#include <QPointer>

#include <cmath>

MainPage::MainPage(ScriptCall call, QObject* parent) : QObject(parent), m_call(std::move(call)) {}

MainPage::ScriptCall MainPage::callsInto(BrowserHost* page) {
    return [view = QPointer<BrowserHost>(page)](const QString& function, const QVariantList& args) {
        if (view)
            view->callScriptValues(function, args);
    };
}

void MainPage::follow(PlaybackSession& session) {
    m_session = &session;
    connect(&session, &PlaybackSession::recordingOpened, this, [this] {
        const OpenRecording& rec = m_session->recording();
        m_shownSpeed = kNoSpeedShown; // a new recording: its first position is drawn whatever showed
        clearLoopRange();
        setRange(rec.trackRangeMs);
        setChannel(rec.channels);
        clearEventMark();
        for (const EventMark& mark : ComputeEventMarks(m_session->trackData().gps))
            addEventMark(mark.x, mark.type);
    });
    connect(&session, &PlaybackSession::positionChanged, this, [this](qint64 positionMs) {
        setPos(positionMs);
        showSpeedAt(positionMs);
    });
    connect(&session, &PlaybackSession::stateChanged, this, [this](PlaybackSession::State state) {
        if (state == PlaybackSession::State::Playing)
            setPause();
        else
            setPlay();
    });
    connect(&session, &PlaybackSession::recordingClosed, this, [this] {
        setPos(0);
        setRange(0); // the time box shows no length and no channels of a closed recording
        setChannel(0);
        clearLoopRange();
        clearEventMark(); // the marks of a recording that is no longer open
        m_shownSpeed = kNoSpeedShown;
        showSpeedAt(-1);
        setPlay();
    });
}

void MainPage::showSpeedAt(int64_t positionMs) {
    const double speed = positionMs >= 0 && m_speedSource ? m_speedSource(positionMs) : 0.0;
    const int value = static_cast<int>(std::trunc(speed * 1000));
    if (value == m_shownSpeed)
        return;
    m_shownSpeed = value;
    drawSpeed(value);
}

void MainPage::callInternal(const char* function, const QString& value) {
    m_call(QStringLiteral("callInternal"), {QString::fromLatin1(function), value});
}

void MainPage::setPos(int64_t positionMs) {
    callInternal("setPos", QString::number(positionMs));
}
void MainPage::setRange(int rangeMs) {
    callInternal("setRange", QString::number(rangeMs));
}
void MainPage::setPlay() {
    callInternal("setPlay", QStringLiteral("0"));
}
void MainPage::setPause() {
    callInternal("setPause", QStringLiteral("0"));
}
void MainPage::setChannel(int channels) {
    callInternal("setChannel", QString::number(channels));
}
void MainPage::setLoopRange(int rangeMs) {
    callInternal("setLoopRange", QString::number(rangeMs));
}
void MainPage::clearLoopRange() {
    m_call(QStringLiteral("clearLoopRange"), {});
}
void MainPage::setWindowMap(int value) {
    callInternal("setWindowMap", QString::number(value));
}
void MainPage::drawSpeed(int speedTimes1000) {
    m_call(QStringLiteral("drawSpeed"), {speedTimes1000});
}
void MainPage::clearEventMark() {
    m_call(QStringLiteral("clearEventMark"), {});
}
void MainPage::addEventMark(int x, char type) {
    m_call(QStringLiteral("addEventMark"), {QString::number(x), QString(QChar::fromLatin1(type))});
}
void MainPage::initLanguage(const QString& language) {
    m_call(QStringLiteral("initLanguage"), {language});
}
void MainPage::setSpeedUnit(int unit) {
    m_call(QStringLiteral("setSpeedUnit"), {unit});
}

// Opens one recording file named outside the list (command line, a second start, the file
// dialog): the file alone is listed and plays at once.
#pragma once

#include <QString>

class Player;
class RecordingList;
struct PlaybackState;

class StartupOpener {
public:
    StartupOpener(RecordingList& list, PlaybackState& state, Player& clock)
        : m_list(list), m_state(state), m_clock(clock) {}

    // Lists one recording file and starts it.
    void openSingleFile(const QString& folder, const QString& name);

private:
    RecordingList& m_list;
    PlaybackState& m_state;
    Player& m_clock;
};

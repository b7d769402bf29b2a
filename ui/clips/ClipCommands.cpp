#include "ui/clips/ClipCommands.h"

#include "core/config/Settings.h"
#include "core/recordings/RecordingScanner.h"
#include "core/recordings/ReportList.h"
#include "ui/common/ViewerState.h"
#include "ui/clips/ClipWindow.h"
#include "ui/common/AppContext.h"
#include "ui/common/Commands.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/recordings/ListController.h"

#include <QMessageBox>
#include <QPointer>
#include <QTimer>

namespace {

// Events closer together than this are one mark (the camera flags several samples per event).
constexpr int64_t kMarkGapMs = 3000;

std::vector<std::pair<int64_t, char>> eventMarks(const RecordingData& data) {
    std::vector<std::pair<int64_t, char>> marks;
    if (data.gpsTimesMs.size() != data.gps.size())
        return marks;
    for (size_t i = 0; i < data.gps.size(); ++i) {
        const char type = data.gps[i].event;
        if (type == '0' || type == '\0')
            continue;
        const int64_t ms = data.gpsTimesMs[i];
        if (!marks.empty() && marks.back().second == type && ms - marks.back().first < kMarkGapMs)
            continue;
        marks.emplace_back(ms, type);
    }
    return marks;
}

class ClipCommandOwner : public QObject {
public:
    ClipCommandOwner(AppContext context, QObject* parent) : QObject(parent), m_ctx(context) {}

    void open() {
        if (m_window) {
            m_window->raise();
            m_window->activateWindow();
            return;
        }
        ClipWindowInput input;
        if (!fill(input)) {
            auto* box = new QMessageBox(QMessageBox::Critical, ClipWindow::text("CLIP_TITLE"),
                                        ClipWindow::text("MAIN_MSG_NO_SELECT"), QMessageBox::Ok, m_ctx.parent);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
            return;
        }
        m_window = new ClipWindow(std::move(input), m_ctx.parent);
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        m_window->setWindowModality(Qt::WindowModal);
        m_window->open();
    }

private:
    // The open recording (with the player's state), else the first checked row of the list.
    bool fill(ClipWindowInput& input) const {
        for (const RecordingEntry& e : m_ctx.recordings.scanner().Entries())
            input.listPaths << QString::fromStdString(e.path);
        const PlaybackSession& session = m_ctx.session;
        input.startIndex = -1;
        if (session.isOpen()) {
            const OpenRecording& open = session.recording();
            if (open.listIndex < 0 || open.listIndex >= input.listPaths.size()) {
                input.listPaths = {QString::fromStdString(open.path.string())};
                input.startIndex = 0;
            } else {
                input.startIndex = open.listIndex;
            }
            input.startIsOpen = true;
            input.positionMs = session.positionMs();
            const ViewerState& state = m_ctx.state;
            input.loopSet = state.loopActive && state.loopEnd > state.loopStart;
            input.loopStartMs = state.loopStart;
            input.loopEndMs = state.loopEnd;
            input.eventMarks = eventMarks(session.trackData());
        } else {
            const ReportList& report = m_ctx.recordings.report();
            for (int row = 0; row < report.Count() && row < input.listPaths.size(); ++row)
                if (report.IsChecked(row)) {
                    input.startIndex = row;
                    break;
                }
        }
        input.mainChannel = m_ctx.state.mainScreen;
        input.mainLarge = m_ctx.state.mainLarge;
        input.speedUnit = QString::fromStdString(ReadSetting("speedunit")).toInt();
        return input.startIndex >= 0;
    }

    AppContext m_ctx;
    QPointer<ClipWindow> m_window;
};

} // namespace

void installClipCommands(Commands& commands, AppContext& context) {
    auto* owner = new ClipCommandOwner(context, context.parent);
    // The window opens from a queued call: never inside the page's call into the program.
    commands.add(QStringLiteral("btnClip"), [owner](int) {
        QTimer::singleShot(0, owner, [owner] { owner->open(); });
    });
}

#include "ui/trips/TripsCommands.h"

#include "ui/common/AppContext.h"
#include "ui/common/Commands.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/recordings/ListController.h"
#include "ui/trips/TripsWindow.h"

#include <QTimer>
#include <QWidget>

#include <system_error>

namespace fs = std::filesystem;

namespace {

// The listed card or folder; without one, the card of the open recording (its kind folder's parent).
fs::path currentCard(AppContext& context) {
    std::error_code ec;
    if (context.recordings.sourceChosen()) {
        const fs::path source = context.recordings.scanner().SourcePath();
        if (!source.empty() && fs::is_directory(source, ec))
            return source;
    }
    if (context.session.isOpen()) {
        const fs::path folder = context.session.recording().path.parent_path();
        return folder.has_parent_path() ? folder.parent_path() : folder;
    }
    return {};
}

void showTrips(AppContext& context) {
    TripsWindow* window = context.parent
                              ? context.parent->findChild<TripsWindow*>(QString(), Qt::FindDirectChildrenOnly)
                              : nullptr;
    if (!window)
        window = new TripsWindow(context, context.parent);
    const fs::path card = currentCard(context);
    if (!card.empty())
        window->showCard(card);
    window->show();
    // After the page call that asked for it has returned, or the window manager keeps the main
    // window (where the click was) in front.
    QTimer::singleShot(0, window, [window] {
        window->raise();
        window->activateWindow();
    });
}

} // namespace

void installTripsCommands(Commands& commands, AppContext& context) {
    commands.add(QStringLiteral("btnTrips"), [&context](int) { showTrips(context); });
}

// The program's argument (path, link) and the main window's key table.
#include "ui/app/KeyMap.h"
#include "ui/common/StartupArguments.h"

#include <gtest/gtest.h>

// Paths split at the last separator; "qmv:" links give address, name and size.
TEST(StartupArgumentTest, PathsAndLinksSplitIntoTheirParts) {
    using K = StartupArgument::Kind;
    const struct {
        const char* argument;
        K kind;
        const char* folder;
        const char* name;
        const char* source;
        int64_t size;
    } cases[] = {
        {"/media/card/EVENT/20240101_120000_E.qmv", K::Path, "/media/card/EVENT", "20240101_120000_E.qmv", "",
         0},
        {"movie.qmv", K::Path, "", "movie.qmv", "", 0},
        {"", K::None, "", "", "", 0},
        {"qmv:http://host/f.qmv|f.qmv|2500000", K::Link, "", "f.qmv", "http://host/f.qmv", 2500000},
        {"qmv:http://h/qmv:x|y", K::Link, "", "y", "http://h/x", 0}, // every "qmv:" goes
        {"qmv:a|b|lots", K::Link, "", "b", "a", 0},
        {"QMV:a|b|1", K::Path, "", "QMV:a|b|1", "", 0}, // the scheme is case-sensitive
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument);
        const StartupArgument a = parseStartupArgument(QString::fromUtf8(c.argument));
        EXPECT_EQ(a.kind, c.kind);
        EXPECT_EQ(a.folder.toStdString(), c.folder);
        EXPECT_EQ(a.name.toStdString(), c.name);
        EXPECT_EQ(a.source.toStdString(), c.source);
        EXPECT_EQ(a.size, c.size);
    }
}

TEST(KeyMapTest, KeysAndTheirCommands) {
    EXPECT_EQ(keyCommand(Qt::Key_Escape, {}), "stop");
    EXPECT_EQ(keyCommand(Qt::Key_Space, {}), "playPause");
    EXPECT_EQ(keyCommand(Qt::Key_PageUp, {}), "openPrevious");
    EXPECT_EQ(keyCommand(Qt::Key_PageDown, {}), "openNext");
    EXPECT_EQ(keyCommand(Qt::Key_Left, {}), "stepBack");
    EXPECT_EQ(keyCommand(Qt::Key_Right, {}), "stepForward");
    EXPECT_EQ(keyCommand(Qt::Key_Return, {}), "");
    EXPECT_EQ(keyCommand(Qt::Key_A, {}), "");
    EXPECT_EQ(keyCommand(Qt::Key_F4, Qt::AltModifier), "");
    EXPECT_EQ(keyCommand(Qt::Key_Up, {}), "");
}

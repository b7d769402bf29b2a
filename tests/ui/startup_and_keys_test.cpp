// The program's argument (path, link) and the main window's key table.
#include "ui/app/CommandIds.h"
#include "ui/app/KeyMap.h"
#include "ui/app/StartupArguments.h"

#include <gtest/gtest.h>

TEST(StartupArgumentTest, PathsSplitAtTheLastSeparator) {
    StartupArgument a = parseStartupArgument("/media/card/EVENT/20240101_120000_E.qmv");
    EXPECT_EQ(a.kind, StartupArgument::Path);
    EXPECT_EQ(a.folder, QString("/media/card/EVENT"));
    EXPECT_EQ(a.name, QString("20240101_120000_E.qmv"));
    a = parseStartupArgument("movie.qmv");
    EXPECT_EQ(a.folder, QString());
    EXPECT_EQ(a.name, QString("movie.qmv"));
    EXPECT_EQ(parseStartupArgument("").kind, StartupArgument::None);
}

TEST(StartupArgumentTest, LinksAndTheirParts) {
    StartupArgument a = parseStartupArgument("qmv:http://host/f.qmv|f.qmv|2500000");
    EXPECT_EQ(a.kind, StartupArgument::Link);
    EXPECT_EQ(a.source, QString("http://host/f.qmv"));
    EXPECT_EQ(a.name, QString("f.qmv"));
    EXPECT_EQ(a.size, 2500000);
    a = parseStartupArgument("qmv:http://h/qmv:x|y");
    EXPECT_EQ(a.source, QString("http://h/x")); // every "qmv:" goes
    EXPECT_EQ(a.name, QString("y"));
    EXPECT_EQ(a.size, 0);
    EXPECT_EQ(parseStartupArgument("qmv:a|b|lots").size, 0);
    // The scheme is case-sensitive: anything else is a path.
    EXPECT_EQ(parseStartupArgument("QMV:a|b|1").kind, StartupArgument::Path);
}

TEST(KeyMapTest, KeysAndTheirCommands) {
    EXPECT_EQ(keyCommand(Qt::Key_Escape, {}), kCmdStop);
    EXPECT_EQ(keyCommand(Qt::Key_Space, {}), kCmdPlayPause);
    EXPECT_EQ(keyCommand(Qt::Key_PageUp, {}), kCmdPrevious);
    EXPECT_EQ(keyCommand(Qt::Key_PageDown, {}), kCmdNext);
    EXPECT_EQ(keyCommand(Qt::Key_Left, {}), kCmdStepBack);
    EXPECT_EQ(keyCommand(Qt::Key_Right, {}), kCmdStepForward);
    EXPECT_EQ(keyCommand(Qt::Key_Return, {}), 0);
    EXPECT_EQ(keyCommand(Qt::Key_A, {}), 0);
    EXPECT_EQ(keyCommand(Qt::Key_F4, Qt::AltModifier), 0);
    EXPECT_EQ(keyCommand(Qt::Key_Up, {}), 0);
}

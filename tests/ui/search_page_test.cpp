// The search page in the real web view: every scanned recording reaches the page in list order with
// its size in "%dM" form, and the name chosen on the page comes back through DoSearchHandler.
#include "WindowTestApp.h"
#include "core/recordings/RecordingScanner.h"
#include "ui/page/BrowserHost.h"
#include "ui/dialogs/SearchPageWindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <gtest/gtest.h>

#include <fstream>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {
QApplication& app() {
    return windowTestApp(QUILLENT_SOURCE_SKIN, nullptr);
}

// A folder with three recordings; one of them larger than 1000 MB (sparse).
struct Folder {
    fs::path root = fs::temp_directory_path() / ("quillent-search-" + std::to_string(::getpid()));
    Folder() {
        fs::remove_all(root);
        fs::create_directories(root / "NORMAL");
        write("NORMAL/RTC20140512_101600.qmv", 5 * 1024 * 1000);
        write("NORMAL/EVENT_RTC20140512_101500.qmv", 1024);
        write("NORMAL/RTC20140512_101700 \"quoted\" 'name'.qmv", 1'234'567LL * 1024);
    }
    ~Folder() { fs::remove_all(root); }
    void write(const std::string& rel, int64_t bytes) const {
        std::ofstream out(root / rel, std::ios::binary);
        out.seekp(bytes - 1);
        out.put('\0');
    }
};
} // namespace

TEST(SearchPageWindow, ListsEveryEntryInListOrderAndReturnsTheChosenName) {
    app();
    Folder folder;
    RecordingScanner scanner;
    scanner.SetFolders({{"NORMAL"}});
    scanner.SetExtensions({"qmv"});
    scanner.ScanDriveRoot(folder.root);
    scanner.OrderByNameTime();
    ASSERT_EQ(scanner.EntryCount(), 3);

    SearchPageWindow dlg(scanner);
    EXPECT_EQ(dlg.size(), QSize(540, 630));
    EXPECT_EQ(dlg.page()->geometry(), QRect(0, 32, 540, 598));
    QSignalSpy filled(&dlg, &SearchPageWindow::listFilled);
    QSignalSpy finished(&dlg, &QDialog::finished);
    dlg.open();
    ASSERT_TRUE(filled.count() > 0 || filled.wait(20000));

    const QStringList rows = runScript(dlg.page()->page(), QStringLiteral("listNames()")).toStringList();
    ASSERT_EQ(rows.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const RecordingEntry* e = scanner.GetEntry(i);
        EXPECT_TRUE(rows[i].startsWith(QString::fromStdString(e->name) + "|")) << rows[i].toStdString();
    }
    EXPECT_TRUE(rows[0].endsWith("|1M") || rows[0].endsWith("|0M")) << rows[0].toStdString();
    EXPECT_TRUE(rows[2].endsWith("|1234M")) << rows[2].toStdString(); // never "1.2G" on this page

    // The count under the list speaks English for every number: "3 files", "1 file".
    const QString count = QStringLiteral("document.getElementById('count').textContent");
    // The page counts once the inserts have stopped (a timer of its own).
    QTest::qWaitFor([&] { return runScript(dlg.page()->page(), count).toString() != "0 files"; }, 5000);
    EXPECT_EQ(runScript(dlg.page()->page(), count).toString(), QString("3 files"));
    runScript(dlg.page()->page(), QStringLiteral("var q = document.getElementById('query');"
                                                 "q.value = '101500'; q.dispatchEvent(new Event('input'));"));
    EXPECT_EQ(runScript(dlg.page()->page(), count).toString(), QString("1 file"));
    runScript(dlg.page()->page(), QStringLiteral("var q = document.getElementById('query');"
                                                 "q.value = ''; q.dispatchEvent(new Event('input'));"));

    // The user picks the name with quotes in it; the page answers "btnFilename" with it.
    const std::string wanted = scanner.GetEntry(2)->name;
    runScript(dlg.page()->page(), QStringLiteral("chooseName(listNames()[2].split('|')[0])"));
    ASSERT_TRUE(finished.count() > 0 || finished.wait(10000));
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.chosenName(), wanted);
}

TEST(SearchPageWindow, CancelAndOkeyCloseWithoutAName) {
    app();
    RecordingScanner scanner;
    SearchPageWindow dlg(scanner);
    dlg.handleCommand("btnOkey", "");
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_TRUE(dlg.chosenName().empty());
    SearchPageWindow other(scanner);
    other.handleCommand("btnUnknown", "x");
    other.handleCommand("btnCancel", "");
    EXPECT_EQ(other.result(), QDialog::Rejected);
    EXPECT_TRUE(other.chosenName().empty());
}

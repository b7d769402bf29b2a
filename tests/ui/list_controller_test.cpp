// The main window's list over a generated card: the open command, tabs and their scroll positions,
// clicks under a kind filter, select-all under a kind, the "no files" cases, a pulled card, the drive
// dialog over a fake mount table and the drawn list's pixels against its geometry.
#include "WindowTestApp.h"
#include "core/tools/DriveList.h"
#include "core/tools/MountWatcher.h"
#include "ui/widgets/SkinButton.h"
#include "ui/dialogs/DriveChoiceDialog.h"
#include "ui/recordings/RecordingListView.h"
#include "ui/recordings/KindTabs.h"
#include "ui/recordings/ListController.h"
#include "ui/render/ListPainting.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {
QApplication& app() {
    return windowTestApp(QUILLENT_SOURCE_SKIN, nullptr);
}

class FakeVolumes : public VolumeSource {
public:
    std::vector<MountedVolume> volumes;
    std::vector<MountedVolume> Volumes() const override { return volumes; }
};

MountedVolume cardVolume(const fs::path& root) {
    MountedVolume v;
    v.rootPath = root.string();
    v.device = "/dev/mmcblk0p1";
    v.fsType = "exfat";
    v.removable = 1;
    v.bytesTotal = 1 << 30;
    v.label = "CARD";
    return v;
}

// A card: 12 normal, 4 event, 2 emergency and 3 motion recordings.
class Card {
public:
    Card() {
        m_root = fs::temp_directory_path() /
                 ("quillent-listui-" + std::to_string(::getpid()) + "-" + std::to_string(s_counter++));
        fs::remove_all(m_root);
        for (int i = 0; i < 12; ++i)
            write("NORMAL/RTC20140512_10" + two(i) + "00.qmv");
        for (int i = 0; i < 4; ++i)
            write("EVENT/EVENT_RTC20140512_10" + two(i) + "30.qmv");
        for (int i = 0; i < 2; ++i)
            write("EVENT/EMERGENCY_RTC20140512_10" + two(i) + "40.qmv");
        for (int i = 0; i < 3; ++i)
            write("MOTION/MOTION_RTC20140512_10" + two(i) + "50.qmv");
    }
    ~Card() { fs::remove_all(m_root); }
    const fs::path& root() const { return m_root; }
    void write(const std::string& relative) const {
        fs::create_directories((m_root / relative).parent_path());
        std::ofstream(m_root / relative) << "x";
    }

private:
    static std::string two(int i) { return (i < 10 ? "0" : "") + std::to_string(i); }
    static inline int s_counter = 0;
    fs::path m_root;
};

struct Fixture {
    struct AppFirst {
        AppFirst() { app(); }
    } appFirst; // the application exists before the first widget
    QWidget window;
    RecordingListView* list;
    KindTabs* menu;
    QScrollBar* bar;
    std::unique_ptr<ListController> controller;
    std::shared_ptr<FakeVolumes> volumes = std::make_shared<FakeVolumes>();
    QStringList errors;
    int closed = 0;
    int chosenDrive = 0;
    std::optional<fs::path> chosenFolder;

    Fixture() {
        app();
        window.resize(400, 400);
        menu = new KindTabs(&window);
        menu->setGeometry(0, 0, 330, 58);
        list = new RecordingListView(&window);
        list->setGeometry(0, 58, 314, 200); // 8 rows
        bar = new QScrollBar(Qt::Vertical, &window);
        bar->setGeometry(315, 58, 15, 200);
        controller = std::make_unique<ListController>(&window, list, menu, bar);
        controller->scanner().SetFolders({{"NORMAL"}, {"EVENT"}, {"MOTION"}, {"MANUAL"}});
        controller->scanner().SetExtensions({"qmv", "mp4"});
        controller->scanner().SetRecursion(true, true);
        controller->setErrorReporter([this](const QString& text) { errors << text; });
        controller->setDriveChooser([this](RecordingScanner& s) {
            BuildDriveList(s, *volumes);
            return chosenDrive;
        });
        controller->setFolderChooser([this](const std::string&) { return chosenFolder; });
        ListController::Hooks hooks;
        hooks.closeRecording = [this] { ++closed; };
        controller->setHooks(hooks);
        window.show();
    }
    const FileListModel& model() const { return list->model(); }
};

// The fixture with the card opened through the drive choice, as the user opens it.
struct OpenedCard : Fixture {
    Card card;
    bool opened = false;
    OpenedCard() {
        volumes->volumes = {cardVolume(card.root())};
        opened = controller->openSource();
    }
};

QPoint tabPoint(int tab) {
    static const int x[] = {0, 40, 100, 170, 230, 280};
    return QPoint(x[tab], 12);
}
} // namespace

TEST(ListController, OpeningACardListsItsRecordingsInNameTimeOrder) {
    OpenedCard f;
    ASSERT_TRUE(f.opened);
    EXPECT_TRUE(f.errors.isEmpty());
    EXPECT_EQ(f.closed, 1);
    EXPECT_EQ(f.model().Count(), 21);
    EXPECT_EQ(f.controller->report().Count(), 21);
    EXPECT_EQ(f.model().Rows()[0].name, "RTC20140512_100000.qmv");
    EXPECT_EQ(f.model().Rows()[1].name, "EVENT_RTC20140512_100030.qmv");
    EXPECT_EQ(f.model().Rows()[2].name, "EMERGENCY_RTC20140512_100040.qmv");
    // The report list's rows and the drawn rows name the same entries.
    for (int i = 0; i < 21; ++i) {
        EXPECT_EQ(f.controller->report().Row(i)->name, f.model().Rows()[i].name);
        EXPECT_EQ(*f.controller->scanner().GetRowPath(i), f.controller->scanner().GetEntry(i)->path);
    }
    EXPECT_TRUE(f.bar->isVisible());
    EXPECT_EQ(f.bar->maximum(), 21 - 8);
}

TEST(ListController, ClicksUnderTheEventTabOpenTheRightEntryAndSelectAllChecksOnlyEvents) {
    OpenedCard f;
    ASSERT_TRUE(f.opened);
    QSignalSpy open(f.controller.get(), &ListController::openRowRequested);

    QTest::mouseClick(f.menu, Qt::LeftButton, {}, tabPoint(3));
    EXPECT_EQ(f.controller->kindFilter(), 3);
    EXPECT_EQ(f.menu->currentTab(), 3);
    EXPECT_EQ(f.model().VisibleCount(), 4);
    EXPECT_FALSE(f.bar->isVisible()); // 4 rows fit
    QTest::mouseClick(f.list, Qt::LeftButton, {}, QPoint(30, 25 + 12));
    ASSERT_EQ(open.count(), 1);
    const int entry = open[0][0].toInt();
    EXPECT_EQ(f.model().Rows()[entry].name, "EVENT_RTC20140512_100130.qmv");

    // The select-all box of the caption row.
    const int v = f.menu->scrollBarWidth();
    QTest::mouseClick(f.menu, Qt::LeftButton, {}, QPoint(330 - v - 20, 42));
    EXPECT_TRUE(f.menu->selectAll());
    const RecordingScanner& s = f.controller->scanner();
    for (int i = 0; i < s.EntryCount(); ++i) {
        const bool isEvent = f.model().Rows()[i].kind == 3;
        EXPECT_EQ(s.GetEntry(i)->chosen, 1) << i;
        EXPECT_EQ(f.controller->report().IsChecked(i), isEvent) << i;
        EXPECT_EQ(f.model().Rows()[i].checked, isEvent ? 1 : 0) << i;
    }
    // Unchecking one row through its box clears its report row and chosen flag.
    QTest::mouseClick(f.list, Qt::LeftButton, {}, QPoint(314 - 20, 12));
    EXPECT_FALSE(f.controller->report().IsChecked(1));
    EXPECT_EQ(s.GetEntry(1)->chosen, 0);
    // The skin's clear command clears every check; the drawn boxes follow.
    f.controller->chkClear();
    for (int i = 0; i < s.EntryCount(); ++i) {
        EXPECT_FALSE(f.controller->report().IsChecked(i));
        EXPECT_EQ(f.model().Rows()[i].checked, 0);
    }
    f.controller->chkRow(5, true);
    EXPECT_TRUE(f.controller->report().IsChecked(5));
    f.controller->chkRow(99, true); // no such row: nothing

    // The end of the kind's last recording shows the first tab, and the list follows its tab.
    f.controller->clearHighlight();
    EXPECT_EQ(f.menu->currentTab(), 1);
    EXPECT_EQ(f.controller->kindFilter(), 1);
    EXPECT_EQ(f.model().VisibleCount(), 21);
}

TEST(ListController, TabsReturnToTheirSavedScrollPositions) {
    OpenedCard f;
    ASSERT_TRUE(f.opened);
    f.bar->setValue(5);
    EXPECT_EQ(f.model().TopRow(), 5);
    QTest::mouseClick(f.menu, Qt::LeftButton, {}, tabPoint(3));
    EXPECT_EQ(f.model().TopRow(), 0);
    QTest::mouseClick(f.menu, Qt::LeftButton, {}, tabPoint(1));
    EXPECT_EQ(f.model().TopRow(), 5);
    EXPECT_EQ(f.bar->value(), 5);
    // The MAP tab is not offered by default; its box does nothing.
    QTest::mouseClick(f.menu, Qt::LeftButton, {}, tabPoint(5));
    EXPECT_EQ(f.menu->currentTab(), 1);
    // The right part of MOTION's caption is MOTION's.
    f.menu->setMapOffered(true);
    QTest::mouseClick(f.menu, Qt::LeftButton, {}, QPoint(255, 12));
    EXPECT_EQ(f.controller->kindFilter(), 4);
    // Selecting an entry after an open scrolls it into view under its kind.
    f.controller->selectRow(20, 1);
    EXPECT_EQ(f.controller->kindFilter(), 1);
    EXPECT_EQ(f.model().Selection(), 20);
    EXPECT_EQ(f.model().TopRow(), 20 - 8 + 1);
    // "btnFileFolder" with a kind switches like its tab.
    f.controller->fileFolder(2);
    EXPECT_EQ(f.controller->kindFilter(), 2);
    EXPECT_EQ(f.model().VisibleCount(), 2);
}

TEST(ListController, NoFilesIsShownOnlyWhenThePartNamesIt) {
    Fixture f;
    Card card;
    fs::path empty = card.root() / "EMPTY";
    fs::create_directories(empty);
    f.volumes->volumes = {cardVolume(empty)};
    int resets = 0, stops = 0;
    ListController::Hooks hooks;
    hooks.resetPlaybackControls = [&] { ++resets; };
    hooks.returnToIdle = [&] { ++stops; };
    hooks.closeRecording = [&] { ++stops; };
    f.controller->setHooks(hooks);

    // A card without recordings: an empty list and no message.
    ASSERT_TRUE(f.controller->openSource());
    EXPECT_TRUE(f.errors.isEmpty());
    EXPECT_EQ(f.model().Count(), 0);
    const int stopsForTheCard = stops;
    // A cancelled dialog, then the folder entry with a cancelled folder choice: everything stays
    // as it was, playback included, and nothing is said.
    f.chosenDrive = -1;
    EXPECT_FALSE(f.controller->openSource());
    f.chosenDrive = 1;
    EXPECT_FALSE(f.controller->openSource());
    EXPECT_TRUE(f.errors.isEmpty());
    EXPECT_EQ(stops, stopsForTheCard);
    EXPECT_EQ(resets, 0);
    EXPECT_TRUE(f.controller->sourceChosen());
    // An empty folder.
    f.chosenFolder = empty;
    EXPECT_FALSE(f.controller->openSource());
    EXPECT_EQ(f.errors.size(), 1);
    EXPECT_EQ(resets, 1);
    // A folder with recordings.
    f.chosenFolder = card.root();
    EXPECT_TRUE(f.controller->openSource());
    EXPECT_EQ(f.model().Count(), 21);
    EXPECT_EQ(f.errors.size(), 1);
}

TEST(ListController, PullingTheListedCardClearsTheListAndOtherVolumesChangeNothing) {
    OpenedCard f;
    ASSERT_TRUE(f.opened);
    QSet<QString> table{"/", QString::fromStdString(f.card.root().string()), "/media/u/OTHER"};
    auto watcher = std::make_unique<MountWatcher>([&] { return table; });
    MountWatcher* w = watcher.get();
    f.controller->startMountWatch(std::move(watcher));
    QSignalSpy removed(f.controller.get(), &ListController::sourceRemoved);
    const int closedBefore = f.closed;

    table.remove("/media/u/OTHER");
    w->Check();
    EXPECT_EQ(removed.count(), 0);
    EXPECT_EQ(f.model().Count(), 21);

    table.remove(QString::fromStdString(f.card.root().string()));
    w->Check();
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(f.closed, closedBefore + 1);
    EXPECT_EQ(f.model().Count(), 0);
    EXPECT_EQ(f.controller->report().Count(), 0);
    EXPECT_EQ(f.controller->scanner().GetRowPath(0), nullptr);
    EXPECT_FALSE(f.bar->isVisible());
}

// While a recording opens, clicks on the rows and on the tab strip are dropped and leave the rows,
// the tab and the select-all box as drawn; afterwards they work again.
TEST(ListController, ListAndTabClicksAreDroppedWhileARecordingOpens) {
    OpenedCard f;
    ASSERT_TRUE(f.opened);
    bool busy = true;
    ListController::Hooks hooks;
    hooks.busy = [&] { return busy; };
    f.controller->setHooks(hooks);
    QSignalSpy open(f.controller.get(), &ListController::openRowRequested);
    QSignalSpy notified(f.menu, &KindTabs::tabChosen);
    QSignalSpy selectAll(f.menu, &KindTabs::selectAllChanged);
    QTest::mouseClick(f.list, Qt::LeftButton, {}, QPoint(30, 12));
    QTest::mouseClick(f.list, Qt::LeftButton, {}, QPoint(314 - 20, 12));
    QTest::mouseClick(f.menu, Qt::LeftButton, {}, tabPoint(3));
    const int v = f.menu->scrollBarWidth();
    QTest::mouseClick(f.menu, Qt::LeftButton, {}, QPoint(330 - v - 20, 42));
    EXPECT_EQ(open.count(), 0);
    EXPECT_EQ(f.model().Selection(), -1);
    EXPECT_EQ(f.model().Rows()[0].checked, 0);
    EXPECT_EQ(f.menu->currentTab(), 1);
    EXPECT_FALSE(f.menu->selectAll());
    EXPECT_EQ(notified.count(), 0);
    EXPECT_EQ(selectAll.count(), 0);

    busy = false;
    QTest::mouseClick(f.list, Qt::LeftButton, {}, QPoint(30, 12));
    EXPECT_EQ(open.count(), 1);
    QTest::mouseClick(f.menu, Qt::LeftButton, {}, tabPoint(3));
    EXPECT_EQ(f.menu->currentTab(), 3);
}

TEST(ListController, TheSearchPagesChoiceIsSelectedUnderAllKindsAndOpened) {
    OpenedCard f;
    ASSERT_TRUE(f.opened);
    QTest::mouseClick(f.menu, Qt::LeftButton, {}, tabPoint(4));
    ASSERT_EQ(f.controller->kindFilter(), 4);
    std::string answer = "RTC20140512_101100.qmv"; // the last normal recording
    f.controller->setSearchRunner([&](const RecordingScanner&) { return answer; });
    QSignalSpy open(f.controller.get(), &ListController::openRowRequested);
    QSignalSpy kind(f.controller.get(), &ListController::kindChanged);
    // The search icon of the tab strip.
    QTest::mouseClick(f.menu, Qt::LeftButton, {}, QPoint(15, 15));
    ASSERT_EQ(open.count(), 1);
    const int entry = open[0][0].toInt();
    EXPECT_EQ(f.model().Rows()[entry].name, answer);
    EXPECT_EQ(f.controller->kindFilter(), 1);
    EXPECT_EQ(kind.last()[0].toInt(), 1);
    EXPECT_EQ(f.menu->currentTab(), 1);
    EXPECT_EQ(f.model().Selection(), entry);
    // Scrolled so that the choice is in view, no further than the scroll range allows.
    EXPECT_EQ(f.model().TopRow(), std::min(entry - 200 / 50, 21 - 8));
    EXPECT_GE(entry, f.model().TopRow());
    // Nothing chosen, or a name that is not listed: nothing happens.
    answer.clear();
    f.controller->search();
    answer = "missing.qmv";
    f.controller->search();
    EXPECT_EQ(open.count(), 1);
}

TEST(DriveChoiceDialog, OffersTheFakeCardAndHandsBackTheChosenIndex) {
    app();
    Card card;
    auto volumes = std::make_shared<FakeVolumes>();
    volumes->volumes = {cardVolume(card.root())};
    RecordingScanner scanner;
    DriveChoiceDialog dlg;
    dlg.setScanner(&scanner);
    dlg.setVolumeSource(volumes);
    dlg.populate();
    EXPECT_EQ(dlg.size(), QSize(455, 181));
    ASSERT_EQ(dlg.combo()->count(), 2);
    EXPECT_TRUE(dlg.combo()->itemText(0).startsWith(QString::fromStdString(card.root().string())));
    EXPECT_EQ(dlg.combo()->itemText(1), "Find in My Computer");
    EXPECT_EQ(dlg.combo()->currentIndex(), 0);
    // Every entry's text fits the box beside the arrow and the padding (no "…on this co").
    dlg.combo()->addItem(QStringLiteral("Browse for a folder on this computer"));
    const QFontMetrics metrics(dlg.combo()->font());
    for (int i = 0; i < dlg.combo()->count(); ++i)
        EXPECT_LE(metrics.horizontalAdvance(dlg.combo()->itemText(i)) + 8 + 24 + 8, dlg.combo()->width())
            << dlg.combo()->itemText(i).toStdString();
    dlg.combo()->removeItem(2);
    EXPECT_EQ(dlg.okButton()->geometry(), QRect(143, 130, 158, 36));
    EXPECT_EQ(dlg.closeButton()->geometry(), QRect(382, 8, 65, 28));
    // QUILLENT_SCREEN_DIR set: keep a picture of the dialog for a look by eye.
    if (qEnvironmentVariableIsSet("QUILLENT_SCREEN_DIR"))
        dlg.grab().save(qEnvironmentVariable("QUILLENT_SCREEN_DIR") + "/select-drive.png");
    dlg.combo()->setCurrentIndex(1);
    QTimer::singleShot(0, &dlg, [&] { dlg.okButton()->click(); });
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_EQ(dlg.selectedIndex(), 1);

    DriveChoiceDialog closing;
    closing.setScanner(&scanner);
    closing.setVolumeSource(volumes);
    QTimer::singleShot(0, &closing, [&] { closing.closeButton()->click(); });
    EXPECT_EQ(closing.exec(), QDialog::Rejected);
}

TEST(RecordingListView, DrawnPixelsFollowTheListGeometry) {
    app();
    RecordingListView list;
    list.resize(314, 100);
    FileInfo_t a;
    a.name = "RTC20140512_101530.qmv";
    a.dateText = "05.12";
    a.sizeText = "58M";
    a.kind = 1;
    FileInfo_t b = a;
    b.name = "EVENT_RTC20140512_101630.qmv";
    b.kind = 3;
    b.checked = 1;
    list.model().Append(a);
    list.model().Append(b);
    list.model().SetSelection(1, 0);
    const QImage img = list.grab().toImage();
    const int w = 314;
    auto at = [&](int x, int y) { return img.pixelColor(x, y); };
    const QColor background(44, 44, 44), line(58, 58, 58), frame(75, 75, 75), accent(0, 168, 255),
        band(85, 85, 85);
    EXPECT_EQ(at(2, 2), background);
    EXPECT_EQ(at(w - 110, 2), line);
    EXPECT_EQ(at(w - 72, 2), line);
    EXPECT_EQ(at(w - 36, 2), line);
    EXPECT_EQ(at(5, 24), line);     // line under row 0 from x = 5 ...
    EXPECT_EQ(at(w - 6, 24), line); // ... to W - 5
    EXPECT_EQ(at(4, 24), background);
    EXPECT_EQ(at(w - 27, 5), frame); // row 0's box: frame, empty inside
    EXPECT_EQ(at(w - 14, 18), frame);
    EXPECT_EQ(at(w - 25, 7), background);
    EXPECT_EQ(at(w - 20, 12), background);
    EXPECT_EQ(at(w - 27, 4), background);
    EXPECT_EQ(at(w - 24, 25 + 8), accent); // row 1 is checked
    EXPECT_EQ(at(5, 25 + 2), band);        // and selected: band 5 pixels in
    EXPECT_EQ(at(4, 25 + 2), background);
    EXPECT_EQ(at(w - 6, 25 + 2), band);
    EXPECT_EQ(at(2, 60), background); // nothing below the rows
    // Some white text lies in the name column of row 0, none left of x = 8.
    bool text = false;
    for (int x = 8; x < 120 && !text; ++x)
        for (int y = 3; y < 22 && !text; ++y)
            text = at(x, y).lightness() > 150;
    EXPECT_TRUE(text);
    for (int y = 0; y < 24; ++y)
        EXPECT_EQ(at(6, y), background) << y;
}

TEST(ListController, TabsAndColumnCaptionsAreDrawnInTheLanguageInForce) {
    app();
    ASSERT_TRUE(LoadViewerConfigFile(QUILLENT_BIN_DIR "/viewerconfig.cfg", ViewerConfig::Instance()));
    ViewerConfig::Instance().SetLanguage(kLanguageKorean);
    const QStringList korean = KindTabs::captions();
    // Captions other than the English ones get boxes of their widths, one after another, and a
    // click in a box chooses the tab drawn there.
    const QList<KindTabs::TabPlace> places = KindTabs::tabPlaces();
    KindTabs menu;
    menu.setMapOffered(true);
    const QFontMetrics metrics(listFont(20, QFont::Black));
    ASSERT_EQ(places.size(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(places[i].tab, i + 1);
        EXPECT_GE(places[i].right - places[i].left, metrics.horizontalAdvance(korean[i]) + 4) << i;
        if (i > 0)
            EXPECT_EQ(places[i].left, places[i - 1].right) << i;
        EXPECT_EQ(menu.tabAt((places[i].left + places[i].right) / 2), i + 1) << i;
    }
    ViewerConfig::Instance().SetLanguage(kLanguageEnglish);
    const QStringList english = KindTabs::captions();
    // The English captions keep the boxes they were drawn for.
    const int designed[][2] = {{30, 60}, {60, 150}, {150, 200}, {200, 265}, {265, 305}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(KindTabs::tabPlaces()[i].left, designed[i][0]);
        EXPECT_EQ(KindTabs::tabPlaces()[i].right, designed[i][1]);
    }
    EXPECT_EQ(english,
              QStringList({"ALL", "EMERGENCY", "EVENT", "MOTION", "MAP", "Filename", "Size", "Date"}));
    EXPECT_EQ(korean,
              QStringList({QString::fromUtf8("전체"), QString::fromUtf8("긴급"), QString::fromUtf8("이벤트"),
                           QString::fromUtf8("동작"), QString::fromUtf8("지도"), QString::fromUtf8("파일명"),
                           QString::fromUtf8("크기"), QString::fromUtf8("날짜")}));
}

// The tab strip is one band from light to dark: down the strip the tone changes by small steps, so
// no caption sits across an edge between two tones.
TEST(ListController, TabCaptionsSitOnOneBand) {
    app();
    QImage strip(400, 60, QImage::Format_RGB32);
    QPainter p(&strip);
    KindTabs::draw(p, 400, 60, 15, 1, false, true);
    p.end();
    const int x = 395 - 15; // right of every caption, left of the scroll bar's place
    int largestStep = 0;
    for (int y = 1; y < 28; ++y)
        largestStep = std::max(largestStep, std::abs(qGray(strip.pixel(x, y)) - qGray(strip.pixel(x, y - 1))));
    EXPECT_LE(largestStep, 8);
    EXPECT_GT(qGray(strip.pixel(x, 1)), qGray(strip.pixel(x, 26))); // light at the top, dark below
}

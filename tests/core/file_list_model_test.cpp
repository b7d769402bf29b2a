// The drawn list's rows: kind filter, clicks mapped under a filter, check boxes, select-all under a
// kind, the short date of long names and refusal of bad indexes.
#include "core/recordings/FileListModel.h"
#include "core/recordings/ListText.h"

#include <gtest/gtest.h>

namespace {
constexpr int kWidth = 300;

FileInfo_t row(const std::string& name, int kind, const std::string& date = "01.01") {
    FileInfo_t f;
    f.name = name;
    f.dateText = date;
    f.sizeText = "1M";
    f.kind = kind;
    return f;
}

// normal, event, normal, event, emergency, event
FileListModel mixedList() {
    FileListModel m;
    m.Append(row("RTC20140512_100000.qmv", 1));
    m.Append(row("EVENT_RTC20140512_100100.qmv", 3));
    m.Append(row("RTC20140512_100200.qmv", 1));
    m.Append(row("EVENT_RTC20140512_100300.qmv", 3));
    m.Append(row("EMERGENCY_RTC20140512_100400.qmv", 2));
    m.Append(row("EVENT_RTC20140512_100500.qmv", 3));
    return m;
}

int yOfRow(int row) {
    return row * FileListModel::kRowHeight + 12;
}
} // namespace

TEST(FileListModel, EventFilterMapsTheSecondVisibleRowToTheSecondEventEntry) {
    FileListModel m = mixedList();
    m.SetFilter(3, 0);
    EXPECT_EQ(m.VisibleCount(), 3);
    const ListClick click = m.Click(20, yOfRow(1), kWidth);
    EXPECT_EQ(click.action, ListClick::Selected);
    EXPECT_EQ(click.entry, 3);
    EXPECT_EQ(m.Selection(), 3);
    EXPECT_EQ(m.EntryToRow(3), 1);
    EXPECT_EQ(m.EntryToRow(2), -1); // a normal entry is not a row of the event list
    // With the list scrolled by one row the first drawn row is the second event.
    m.SetTopRow(1);
    EXPECT_EQ(m.Click(20, yOfRow(0), kWidth).entry, 3);
    // Below the last event row nothing happens.
    EXPECT_EQ(m.Click(20, yOfRow(2), kWidth).action, ListClick::None);
    EXPECT_EQ(m.Selection(), 3);
    // Filters outside 2..4 show everything; the selected entry stays selected under them.
    m.SetFilter(5, 0);
    EXPECT_EQ(m.VisibleCount(), 6);
    EXPECT_EQ(m.RowToEntry(5), 5);
    EXPECT_EQ(m.Selection(), 3);
    m.SetFilter(1, 0);
    EXPECT_EQ(m.Selection(), 3);
    EXPECT_EQ(m.EntryToRow(3), 3);

    // The select-all box follows the rows of the shown filter.
    m.SetFilter(3, 0);
    EXPECT_FALSE(m.AllChecked());
    m.SetCheckedAll(true);
    EXPECT_TRUE(m.AllChecked());
    m.SetFilter(1, 0);
    EXPECT_FALSE(m.AllChecked());
}

TEST(FileListModel, CheckBoxClicksToggleOnlyInsideTheBox) {
    FileListModel m = mixedList();
    const int boxX = kWidth - 20;
    ListClick c = m.Click(boxX, yOfRow(2) - 12 + 5, kWidth); // top edge of the box
    EXPECT_EQ(c.action, ListClick::Checked);
    EXPECT_EQ(c.entry, 2);
    EXPECT_EQ(m.Row(2)->checked, 1);
    EXPECT_EQ(m.Selection(), -1); // a box click does not select
    c = m.Click(boxX, yOfRow(2) - 12 + 20, kWidth);
    EXPECT_EQ(c.action, ListClick::Unchecked);
    // Just outside the box's columns or rows the click selects the row instead.
    EXPECT_EQ(m.Click(kWidth - 28, yOfRow(2), kWidth).action, ListClick::Selected);
    EXPECT_EQ(m.Click(kWidth - 12, yOfRow(2), kWidth).action, ListClick::Selected);
    EXPECT_EQ(m.Click(boxX, yOfRow(2) - 12 + 4, kWidth).action, ListClick::Selected);
    EXPECT_EQ(m.Click(boxX, yOfRow(2) - 12 + 21, kWidth).action, ListClick::Selected);
}

TEST(FileListModel, SelectAllUnderEventChecksOnlyEventRows) {
    FileListModel m = mixedList();
    m.SetFilter(3, 0);
    m.SetCheckedAll(true);
    for (int i = 0; i < m.Count(); ++i)
        EXPECT_EQ(m.Row(i)->checked, m.Row(i)->kind == 3 ? 1 : 0) << i;
    m.SetFilter(1, 0);
    m.SetCheckedAll(false);
    for (int i = 0; i < m.Count(); ++i)
        EXPECT_EQ(m.Row(i)->checked, 0);
}

TEST(FileListModel, BadIndexesChangeNothing) {
    FileListModel m = mixedList();
    ASSERT_TRUE(m.SetSelection(4, 2));
    EXPECT_EQ(m.Filter(), 2);
    EXPECT_FALSE(m.SetSelection(6, 0));
    EXPECT_FALSE(m.SetSelection(-2, 0));
    EXPECT_FALSE(m.SetChecked(6, true));
    EXPECT_EQ(m.Selection(), 4);
    EXPECT_TRUE(m.SetSelection(-1, 0)); // none
    EXPECT_EQ(m.Filter(), 2);
    EXPECT_EQ(m.Click(10, -5, kWidth).action, ListClick::None);
    EXPECT_EQ(m.Row(-1), nullptr);
}

TEST(FileListModel, SelectByNameGoesBackToAllKinds) {
    FileListModel m = mixedList();
    m.SetFilter(3, 0);
    EXPECT_EQ(m.SelectByName("EMERGENCY_RTC20140512_100400.qmv"), 4);
    EXPECT_EQ(m.Filter(), 1);
    EXPECT_EQ(m.Selection(), 4);
    EXPECT_EQ(m.SelectByName("EMERGENCY_RTC20140512_100400"), -1); // exact names only
}

TEST(FileListModel, NamesOfTwentyTwoCharactersShowTheirOwnDate) {
    FileListModel m;
    // 21 characters: keeps the creation date.
    m.Append(row("RTC20140512_1015.qmv1", 1, "07.30"));
    // 22 characters: month and day from the name.
    m.Append(row("RTC20140512_101530.qmv", 1, "07.30"));
    // Long, but no digits where the month stands: keeps the creation date.
    m.Append(row("RTC2014xx12_101530_long.qmv", 1, "07.30"));
    EXPECT_EQ(m.Row(0)->dateText, "07.30");
    EXPECT_EQ(m.Row(1)->dateText, "05.12");
    EXPECT_EQ(m.Row(2)->dateText, "07.30");
}

TEST(FileListModel, FileInfoOfAnEntry) {
    RecordingEntry e;
    e.name = "PARKING_RTC20140512_101530.qmv";
    e.sizeKiB = 1'000'000;
    e.localCreation.month = 12;
    e.localCreation.day = 3;
    const FileInfo_t f = MakeFileInfo(e);
    EXPECT_EQ(f.kind, 4);
    EXPECT_EQ(f.sizeText, "1.0G");
    EXPECT_EQ(f.dateText, "12.03");
    EXPECT_EQ(f.checked, 0);
}

// The rows of the drawn recording list and their filter, selection, top row and check states. The
// list widget draws it and turns clicks into its messages; the list controller changes it.
#pragma once

#include "core/recordings/RecordingEntry.h"

#include <string>
#include <vector>

// What a click on the list did.
struct ListClick {
    enum Action { None, Selected, Checked, Unchecked } action = None;
    int entry = -1;
};

class FileListModel {
public:
    static constexpr int kRowHeight = 25; // 24 pixels of row and a 1-pixel line

    void Clear(); // no rows, selection -1, top row 0 (the filter stays)
    void Append(FileInfo_t info);
    int Count() const { return static_cast<int>(m_rows.size()); }
    const std::vector<FileInfo_t>& Rows() const { return m_rows; }
    const FileInfo_t* Row(int entry) const;

    int Filter() const { return m_filter; }
    bool Passes(const FileInfo_t& info) const { return !filtering() || info.kind == m_filter; }
    int Selection() const { return m_selection; }
    int TopRow() const { return m_topRow; }
    void SetTopRow(int row) { m_topRow = row < 0 ? 0 : row; }

    // Entry index or -1, kind 0..5 (0 keeps the filter). False and nothing changed for an index
    // outside the rows.
    bool SetSelection(int entry, int kind);
    void SetFilter(int kind, int topRow);
    int VisibleCount() const;         // rows that pass the filter
    int EntryToRow(int entry) const;  // its row among the rows of the filter, -1 when hidden
    int RowToEntry(int row) const;    // entry at that row of the filter, -1 past the end
    void SetCheckedAll(bool checked); // every row of the filter
    bool AllChecked() const;          // every row of the filter is checked (and there is one)
    bool SetChecked(int entry, bool checked);
    int SelectByName(const std::string& name); // filter back to all; the entry or -1
    // A click at (x, y) of a list `width` pixels wide, as the list handles it.
    ListClick Click(int x, int y, int width);

private:
    bool filtering() const { return m_filter >= 2 && m_filter <= 4; }
    std::vector<FileInfo_t> m_rows;
    int m_topRow = 0;
    int m_selection = -1;
    int m_filter = 1;
};

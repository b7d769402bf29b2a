#include "core/recordings/FileListModel.h"

#include "core/recordings/ListText.h"
#include "core/recordings/RecordingName.h"

void FileListModel::Clear() {
    m_rows.clear();
    m_selection = -1;
    m_topRow = 0;
}

void FileListModel::Append(FileInfo_t info) {
    // Long names carry their own date; it is the recording's moment, not the copy's.
    if (info.name.size() >= kShortDateMinLength)
        info.dateText = GetShortDate(info.name, info.dateText);
    m_rows.push_back(std::move(info));
}

const FileInfo_t* FileListModel::Row(int entry) const {
    return entry >= 0 && entry < Count() ? &m_rows[entry] : nullptr;
}

bool FileListModel::SetSelection(int entry, int kind) {
    if (entry < -1 || entry >= Count() || kind < 0 || kind > 5)
        return false;
    m_selection = entry;
    if (kind != 0)
        m_filter = kind;
    return true;
}

void FileListModel::SetFilter(int kind, int topRow) {
    // The selection (the open recording's entry) stays: it is drawn under every filter it passes.
    m_filter = kind;
    SetTopRow(topRow);
}

int FileListModel::VisibleCount() const {
    if (!filtering())
        return Count();
    int n = 0;
    for (const auto& r : m_rows)
        n += r.kind == m_filter;
    return n;
}

int FileListModel::EntryToRow(int entry) const {
    if (entry < 0 || entry >= Count() || !Passes(m_rows[entry]))
        return -1;
    if (!filtering())
        return entry;
    int row = 0;
    for (int i = 0; i < entry; ++i)
        row += m_rows[i].kind == m_filter;
    return row;
}

int FileListModel::RowToEntry(int row) const {
    if (row < 0)
        return -1;
    if (!filtering())
        return row < Count() ? row : -1;
    for (int i = 0; i < Count(); ++i)
        if (m_rows[i].kind == m_filter && row-- == 0)
            return i;
    return -1;
}

void FileListModel::SetCheckedAll(bool checked) {
    for (auto& r : m_rows)
        if (Passes(r))
            r.checked = checked ? 1 : 0;
}

bool FileListModel::SetChecked(int entry, bool checked) {
    if (entry < 0 || entry >= Count())
        return false;
    m_rows[entry].checked = checked ? 1 : 0;
    return true;
}

int FileListModel::SelectByName(const std::string& name) {
    for (int i = 0; i < Count(); ++i) {
        if (m_rows[i].name == name) {
            m_filter = 1;
            m_selection = i;
            return i;
        }
    }
    return -1;
}

ListClick FileListModel::Click(int x, int y, int width) {
    ListClick result;
    if (y < 0)
        return result;
    const int entry = RowToEntry(y / kRowHeight + m_topRow);
    if (entry < 0)
        return result; // below the last row
    const int inRow = y - kRowHeight * (y / kRowHeight);
    result.entry = entry;
    if (x >= width - 27 && x <= width - 13 && inRow >= 5 && inRow <= 20) {
        auto& r = m_rows[entry];
        r.checked = r.checked ? 0 : 1;
        result.action = r.checked ? ListClick::Checked : ListClick::Unchecked;
    } else {
        m_selection = entry;
        result.action = ListClick::Selected;
    }
    return result;
}

bool FileListModel::AllChecked() const {
    int shown = 0;
    for (const FileInfo_t& r : m_rows) {
        if (!Passes(r))
            continue;
        if (!r.checked)
            return false;
        ++shown;
    }
    return shown > 0;
}

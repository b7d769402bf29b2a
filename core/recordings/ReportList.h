// The report list: one row per listed recording with its check state, in list order. Never shown;
// the batch tools take the rows that are checked and whose entry is chosen.
#pragma once

#include <string>
#include <vector>

struct ReportRow {
    std::string name;
    std::string dateText; // "%02d/%02d/%d": month, day, year of the local creation time
    std::string sizeText; // "%d,%03d" of KiB / 1000 and KiB % 1000
    bool checked = false;
};

class ReportList {
public:
    void Clear() { m_rows.clear(); }
    void Append(ReportRow row) { m_rows.push_back(std::move(row)); }
    int Count() const { return static_cast<int>(m_rows.size()); }
    const ReportRow* Row(int row) const { return valid(row) ? &m_rows[row] : nullptr; }
    bool IsChecked(int row) const { return valid(row) && m_rows[row].checked; }
    // False (and nothing changed) when the row does not exist.
    bool SetChecked(int row, bool checked) {
        if (!valid(row))
            return false;
        m_rows[row].checked = checked;
        return true;
    }
    void SetAllChecked(bool checked) {
        for (auto& r : m_rows)
            r.checked = checked;
    }

private:
    bool valid(int row) const { return row >= 0 && row < Count(); }
    std::vector<ReportRow> m_rows;
};

// The tab strip above the recording list: search icon, kind tabs ALL / EMERGENCY / EVENT / MOTION
// (and MAP when offered), the column captions and the select-all box. Says which was clicked.
#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

#include <functional>

class KindTabs : public QWidget {
    Q_OBJECT
public:
    static constexpr int kControlId = 1267;

    explicit KindTabs(QWidget* parent = nullptr);

    int currentTab() const { return m_tab; }
    void setCurrentTab(int tab) {
        m_tab = tab;
        update();
    }
    bool selectAll() const { return m_selectAll != 0; }
    void setSelectAll(bool on) {
        m_selectAll = on ? 1 : 0;
        update();
    }
    bool mapOffered() const { return m_mapOffered != 0; }
    // While it answers true (a recording is being opened) clicks change nothing, not even the look.
    void setBusyCheck(std::function<bool()> busy) { m_busy = std::move(busy); }
    void setMapOffered(bool offered) {
        m_mapOffered = offered ? 1 : 0;
        update();
    }
    // Width of the list's scroll bar, which the captions leave free on the right.
    int scrollBarWidth() const;
    // Tab under x in the strip (1..5) or 0.
    int tabAt(int x) const;
    // Where each tab's caption is drawn and clicked, tabs 1..5 in order, in the language in force.
    struct TabPlace {
        int tab;
        int left;
        int right;
    };
    static QList<TabPlace> tabPlaces();

    // The texts drawn, in the language in force: the five tabs, then the three column captions.
    static QStringList captions();
    static void draw(QPainter& p, int width, int height, int scrollBarWidth, int tab, bool selectAll,
                     bool mapOffered);

signals:
    void selectAllChanged(bool on); // the select-all box was clicked
    void searchClicked();           // the search icon
    void tabChosen(int tab);        // tab 1..4 (kinds) or 5 (map) was clicked

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    uint8_t m_selectAll = 0;
    int m_tab = 1;
    int m_mapOffered = 0;
    std::function<bool()> m_busy;
};

#include "ui/recordings/KindTabs.h"

#include "core/config/ViewerConfig.h"
#include "ui/widgets/OffscreenCanvas.h"
#include "ui/widgets/SkinBitmaps.h"
#include "ui/render/ListPainting.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QStyle>

namespace {
struct TabBox {
    int tab;
    int left;
    int right;
    const char* captionId; // language string of the caption
    const char* fallback;  // when the configuration has no such string
};
// The drawn caption boxes. Clicks use the same boxes, so a click lands on the tab it is drawn on.
constexpr TabBox kTabs[] = {{1, 30, 60, "LIST_TAB_ALL", "ALL"},
                            {2, 60, 150, "LIST_TAB_EMERGENCY", "EMERGENCY"},
                            {3, 150, 200, "LIST_TAB_EVENT", "EVENT"},
                            {4, 200, 265, "LIST_TAB_MOTION", "MOTION"},
                            {5, 265, 305, "LIST_TAB_MAP", "MAP"}};
constexpr const char* kColumnIds[][2] = {
    {"LIST_COL_FILENAME", "Filename"}, {"LIST_COL_SIZE", "Size"}, {"LIST_COL_DATE", "Date"}};

QString text(const char* id, const char* fallback) {
    const std::string s = LString(id);
    return s.empty() ? QString::fromLatin1(fallback) : QString::fromStdString(s);
}

QFont tabFont() {
    return listFont(20, QFont::Black);
}
constexpr int kTabGap = 10; // between two captions laid out by their widths
constexpr int kSearchIconId = 364;
} // namespace

KindTabs::KindTabs(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("fileMenu"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QStringList KindTabs::captions() {
    QStringList captions;
    for (const auto& t : kTabs)
        captions << text(t.captionId, t.fallback);
    for (const auto& column : kColumnIds)
        captions << text(column[0], column[1]);
    return captions;
}

int KindTabs::scrollBarWidth() const {
    return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

QList<KindTabs::TabPlace> KindTabs::tabPlaces() {
    // The boxes were drawn for the English captions; another language's captions would overrun
    // them or huddle in them, so those are laid out one after another by their widths.
    const bool english = ViewerConfig::Instance().GetLanguage() == kLanguageEnglish;
    const QFontMetrics metrics(tabFont());
    QList<TabPlace> places;
    int left = kTabs[0].left;
    for (const auto& t : kTabs) {
        if (english) {
            places.append({t.tab, t.left, t.right});
            continue;
        }
        const int right = left + metrics.horizontalAdvance(text(t.captionId, t.fallback)) + kTabGap;
        places.append({t.tab, left, right});
        left = right;
    }
    return places;
}

int KindTabs::tabAt(int x) const {
    for (const TabPlace& t : tabPlaces()) {
        if (t.tab == 5 && !m_mapOffered)
            continue;
        if (t.tab == 1 ? (x >= t.left && x <= t.right) : (x > t.left && x <= t.right))
            return t.tab;
    }
    return 0;
}

void KindTabs::draw(QPainter& p, int w, int h, int v, int tab, bool selectAll, bool mapOffered) {
    const int wp = w - v;
    p.fillRect(QRect(0, 0, w, h), listcolors::kBackground);
    // One band behind the captions, light at the top to dark at the bottom: a caption never sits
    // across an edge between two tones.
    QLinearGradient band(0, 0, 0, 28);
    band.setColorAt(0, QColor(92, 92, 92));
    band.setColorAt(1, QColor(33, 33, 33));
    p.fillRect(QRect(0, 0, w, 28), band);
    p.fillRect(QRect(0, 28, w, 2), Qt::black);
    p.drawPixmap(5, 4, LoadSkinBitmap(kSearchIconId));
    p.setFont(tabFont());
    const QList<TabPlace> places = tabPlaces();
    for (int i = 0; i < places.size(); ++i) {
        const TabPlace& t = places[i];
        if (t.tab == 5 && !mapOffered)
            continue;
        p.setPen(t.tab == tab ? listcolors::kAccent : listcolors::kTabIdle);
        p.drawText(QRect(t.left, 3, t.right - t.left, 20), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                   text(kTabs[i].captionId, kTabs[i].fallback));
    }
    if (h <= 30)
        return; // the map shares the column: only the strip is shown
    const int top = 30;
    const int rowH = 24;
    p.fillRect(QRect(0, top, wp, rowH), listcolors::kBackground);
    p.setFont(listFont(16, QFont::Normal));
    p.setPen(listcolors::kCaption);
    const int flags = Qt::AlignVCenter | Qt::TextSingleLine;
    p.drawText(QRect(8, top, wp - 115 - 8, rowH), flags | Qt::AlignLeft,
               text(kColumnIds[0][0], kColumnIds[0][1]));
    p.drawText(QRect(wp - 108, top, 39, rowH), flags | Qt::AlignHCenter,
               text(kColumnIds[1][0], kColumnIds[1][1]));
    p.drawText(QRect(wp - 72, top, 37, rowH), flags | Qt::AlignHCenter,
               text(kColumnIds[2][0], kColumnIds[2][1]));
    p.fillRect(QRect(wp - 110, top, 1, rowH), listcolors::kLine);
    p.fillRect(QRect(wp - 72, top, 1, rowH), listcolors::kLine);
    p.fillRect(QRect(wp - 36, top, 1, rowH), listcolors::kLine);
    p.fillRect(QRect(5, top + rowH, wp - 10, 1), listcolors::kLine);
    drawListCheckBox(p, wp - 27, top, selectAll);
}

void KindTabs::paintEvent(QPaintEvent*) {
    QPainter target(this);
    OffscreenCanvas mem(target, rect(), false);
    draw(mem.painter(), width(), height(), scrollBarWidth(), m_tab, m_selectAll != 0, m_mapOffered != 0);
}

void KindTabs::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || (m_busy && m_busy()))
        return;
    const QPoint pos = e->position().toPoint();
    const int x = pos.x(), y = pos.y();
    const int wp = width() - scrollBarWidth();
    if (x >= wp - 27 && x <= wp - 13 && y >= 33 && y <= 58) {
        m_selectAll = m_selectAll ? 0 : 1;
        update();
        emit selectAllChanged(m_selectAll != 0);
    } else if (x >= 5 && x <= 25 && y >= 5 && y <= 25) {
        emit searchClicked();
    } else if (y >= 3 && y <= 23) {
        const int tab = tabAt(x);
        if (tab != 0) {
            m_tab = tab;
            update();
            emit tabChosen(tab);
        }
    }
}

#include "ui/recordings/RecordingListView.h"

#include "ui/widgets/OffscreenCanvas.h"
#include "ui/render/ListPainting.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

RecordingListView::RecordingListView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("fileList"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void RecordingListView::draw(QPainter& p, FileListModel& model, int w, int h) {
    p.fillRect(QRect(0, 0, w, h), listcolors::kBackground);
    p.setFont(listFont(12, QFont::Normal));
    const int rowH = FileListModel::kRowHeight;
    int y = 0;
    int row = 0;
    const auto& rows = model.Rows();
    for (int i = 0; i < static_cast<int>(rows.size()) && y < h; ++i) {
        const FileInfo_t& info = rows[i];
        if (!model.Passes(info))
            continue;
        if (row++ < model.TopRow())
            continue;
        if (i == model.Selection())
            p.fillRect(QRect(5, y, w - 10, rowH - 1), listcolors::kSelection);
        p.setPen(Qt::white);
        const int flags = Qt::AlignVCenter | Qt::TextSingleLine;
        p.save();
        p.setClipRect(QRect(8, y, w - 115 - 8, rowH - 1));
        p.drawText(QRect(8, y, w - 115 - 8, rowH - 1), flags | Qt::AlignLeft,
                   QString::fromStdString(info.name));
        p.restore();
        p.drawText(QRect(w - 108, y, 39, rowH - 1), flags | Qt::AlignHCenter,
                   QString::fromStdString(info.sizeText));
        p.drawText(QRect(w - 72, y, 37, rowH - 1), flags | Qt::AlignHCenter,
                   QString::fromStdString(info.dateText));
        p.fillRect(QRect(w - 110, y, 1, rowH - 1), listcolors::kLine);
        p.fillRect(QRect(w - 72, y, 1, rowH - 1), listcolors::kLine);
        p.fillRect(QRect(w - 36, y, 1, rowH - 1), listcolors::kLine);
        p.fillRect(QRect(5, y + rowH - 1, w - 10, 1), listcolors::kLine);
        drawListCheckBox(p, w - 27, y, info.checked != 0);
        y += rowH;
    }
}

void RecordingListView::paintEvent(QPaintEvent*) {
    QPainter target(this);
    OffscreenCanvas mem(target, rect(), false);
    draw(mem.painter(), m_model, width(), height());
}

void RecordingListView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || (m_busy && m_busy()))
        return;
    const QPoint pos = e->position().toPoint();
    const ListClick click = m_model.Click(pos.x(), pos.y(), width());
    switch (click.action) {
    case ListClick::None:
        return;
    case ListClick::Checked:
        update();
        emit checkChanged(click.entry, true);
        break;
    case ListClick::Unchecked:
        update();
        emit checkChanged(click.entry, false);
        break;
    case ListClick::Selected:
        update();
        emit rowActivated(click.entry);
        break;
    }
}

void RecordingListView::wheelEvent(QWheelEvent* e) {
    // One notch (120) scrolls three rows, as list views usually do.
    m_wheelRemainder += e->angleDelta().y();
    const int notches = m_wheelRemainder / 120;
    m_wheelRemainder -= notches * 120;
    if (notches != 0)
        emit wheelRows(-notches * 3);
    e->accept();
}

void RecordingListView::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    emit resized();
}

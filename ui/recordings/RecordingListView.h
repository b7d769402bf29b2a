// The drawn recording list of the main window: 25-pixel rows with name, size, date and check box,
// filtered by event kind. Tells its controller which row was clicked open and which box changed.
#pragma once

#include "core/recordings/FileListModel.h"

#include <QWidget>
#include <functional>

class RecordingListView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kControlId = 1265;

    explicit RecordingListView(QWidget* parent = nullptr);

    FileListModel& model() { return m_model; }
    const FileListModel& model() const { return m_model; }
    // While this answers true (a recording is being opened) clicks are ignored.
    void setBusyCheck(std::function<bool()> busy) { m_busy = std::move(busy); }
    int visibleRowCapacity() const { return height() / FileListModel::kRowHeight; }

    // Draws the list into any painter (screen, image); width is the list's client width.
    static void draw(QPainter& p, FileListModel& model, int width, int height);

signals:
    void rowActivated(int entry);              // a row's name was clicked: open this entry
    void checkChanged(int entry, bool checked); // a row's box was clicked
    void wheelRows(int rows); // the wheel asks to scroll by this many rows
    void resized();           // the number of rows that fit may have changed

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    FileListModel m_model;
    std::function<bool()> m_busy;
    int m_wheelRemainder = 0;
};

// Runs long file work (conversion, copies, merge) on a worker thread, one item after the other,
// with progress, cancel and a result per item. It reports only through its signals, emitted on the
// worker thread, so a window on the UI thread receives them queued and the worker never touches a
// window. Used by the tool windows; one job per run.
#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

struct ToolItemResult {
    bool ok = false;
    bool cancelled = false;
    QString message; // why it failed; empty when it worked
};

class ToolJob : public QObject {
    Q_OBJECT
public:
    // What an item's work gets to report progress and to learn about a cancel.
    class Control {
    public:
        // Progress of the current item; false once a cancel was asked for (the work then stops).
        bool report(uint64_t done, uint64_t total) const;
        bool cancelled() const;

    private:
        friend class ToolJob;
        Control(ToolJob& job, int index) : m_job(job), m_index(index) {}
        ToolJob& m_job;
        int m_index;
    };
    using Work = std::function<ToolItemResult(const Control&)>;

    explicit ToolJob(QObject* parent = nullptr);
    ~ToolJob() override; // asks the worker to stop and waits for it

    void addItem(const QString& name, Work work);
    int itemCount() const { return int(m_items.size()); }
    QString itemName(int index) const { return m_items.at(size_t(index)).name; }

    void start();
    void cancel() { m_cancel = true; }
    bool isCancelRequested() const { return m_cancel; }
    bool isRunning() const { return m_running; }
    // Results in item order; complete once finished() was received.
    const std::vector<ToolItemResult>& results() const { return m_results; }

signals:
    void itemStarted(int index);
    void progressChanged(int index, int percent); // emitted when the percentage changes
    void itemFinished(int index, bool ok, const QString& message);
    void finished(int failures, bool cancelled);

private:
    struct Item {
        QString name;
        Work work;
    };
    void run();

    std::vector<Item> m_items;
    std::vector<ToolItemResult> m_results;
    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_running{false};
    mutable std::atomic<int> m_lastPercent{-1};
};

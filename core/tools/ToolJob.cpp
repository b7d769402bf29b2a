#include "core/tools/ToolJob.h"

bool ToolJob::Control::report(uint64_t done, uint64_t total) const {
    const int percent = total ? int(std::min<uint64_t>(done, total) * 100 / total) : 0;
    if (m_job.m_lastPercent.exchange(percent) != percent)
        emit m_job.progressChanged(m_index, percent);
    return !m_job.m_cancel;
}

bool ToolJob::Control::cancelled() const {
    return m_job.m_cancel;
}

ToolJob::ToolJob(QObject* parent) : QObject(parent) {}

ToolJob::~ToolJob() {
    m_cancel = true;
    if (m_thread.joinable())
        m_thread.join();
}

void ToolJob::addItem(const QString& name, Work work) {
    if (!m_running)
        m_items.push_back({name, std::move(work)});
}

void ToolJob::start() {
    if (m_running || m_thread.joinable())
        return;
    m_running = true;
    m_results.assign(m_items.size(), {});
    m_thread = std::thread([this] { run(); });
}

void ToolJob::run() {
    int failures = 0;
    for (size_t i = 0; i < m_items.size(); ++i) {
        ToolItemResult& r = m_results[i];
        if (m_cancel) {
            r.cancelled = true;
            r.message = QStringLiteral("cancelled");
        } else {
            m_lastPercent = -1;
            emit itemStarted(int(i));
            r = m_items[i].work(Control(*this, int(i)));
            if (!r.ok && !r.cancelled && m_cancel)
                r.cancelled = true;
        }
        if (!r.ok && !r.cancelled)
            ++failures;
        emit itemFinished(int(i), r.ok, r.message);
    }
    m_running = false;
    emit finished(failures, m_cancel.load());
}

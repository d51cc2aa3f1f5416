#include "core/background.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QThread>

namespace kb {

BackgroundJob::BackgroundJob() = default;

BackgroundJob::~BackgroundJob() {
    wait();
}

void BackgroundJob::start(std::function<void()> job, QObject* context, std::function<void()> done) {
    wait();
    m_thread.reset(QThread::create([job = std::move(job)] {
        try {
            job();
        } catch (...) {
            // A job reports its own failures through what it hands back; nothing may escape
            // a thread.
        }
    }));
    if (context && done)
        // Queued to the context's thread: `finished` is emitted on the worker.
        QObject::connect(m_thread.get(), &QThread::finished, context, std::move(done),
                         Qt::QueuedConnection);
    m_thread->start(QThread::LowPriority);
}

BackgroundJob& BackgroundJobs::free() {
    for (const auto& job : m_jobs)
        if (!job->running())
            return *job;
    if (m_jobs.size() < m_most || m_jobs.empty()) {
        m_jobs.push_back(std::make_unique<BackgroundJob>());
        return *m_jobs.back();
    }
    return *m_jobs.front();
}

bool BackgroundJob::running() const {
    return m_thread && !m_thread->isFinished();
}

bool BackgroundJob::wait(std::chrono::milliseconds timeout) const {
    return !m_thread || m_thread->wait(QDeadlineTimer(timeout));
}

void BackgroundJob::wait() const {
    if (m_thread)
        m_thread->wait();
}

} // namespace kb

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

#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

class QObject;
class QThread;

namespace kb {

// The one way work leaves the GUI thread: a job runs on a worker thread of its own, and what
// follows it (`done`) runs back on the thread of `context`, which is where widgets may be
// touched. The job itself must touch nothing of Qt Gui or Widgets; this layer can't reach them.
// One job at a time; destroying the object waits for a running job.
class BackgroundJob {
  public:
    BackgroundJob();
    ~BackgroundJob();
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // Waits for the job before, if any, then starts `job` at low priority. `done` is skipped
    // when `context` is gone by then.
    void start(std::function<void()> job, QObject* context = nullptr,
               std::function<void()> done = {});
    bool running() const;
    // True once no job runs; false when `timeout` passed first.
    bool wait(std::chrono::milliseconds timeout) const;
    void wait() const;

  private:
    std::unique_ptr<QThread> m_thread;
};

// A few jobs side by side, so that new work need not wait for older work whose result is no
// longer wanted (the photo of the recipe shown before, a read the user cancelled). Destroying
// it waits for every running job.
class BackgroundJobs {
  public:
    explicit BackgroundJobs(std::size_t most = 3) : m_most(most) {}
    // One that is not running; when all `most` are, the oldest, whose start waits for it.
    BackgroundJob& free();

  private:
    std::size_t m_most;
    std::vector<std::unique_ptr<BackgroundJob>> m_jobs;
};

// Runs `job` off the GUI thread and hands its result to `done` on `context`'s thread.
template <typename T>
void runThenDeliver(BackgroundJob& runner, std::function<T()> job, QObject* context,
                    std::function<void(T)> done) {
    auto result = std::make_shared<T>();
    runner.start([job = std::move(job), result] { *result = job(); }, context,
                 [done = std::move(done), result] { done(std::move(*result)); });
}

} // namespace kb

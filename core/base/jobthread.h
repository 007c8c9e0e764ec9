#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

/// A thread of its own that runs the jobs handed to it one after another, in the order they
/// were posted, while the poster goes on with other work (reading one text while the next is
/// being fetched). A job owns what it touches until Wait() returns: the poster must not use
/// it meanwhile, and a job must not reach the output module or other state of the poster's
/// thread. The trace is safe to use from a job. Not copyable; the destructor finishes the
/// jobs posted and joins the thread.
class CJobThread {
public:
    CJobThread();
    ~CJobThread();
    CJobThread(const CJobThread&) = delete;
    CJobThread& operator=(const CJobThread&) = delete;

    /// Queues job after the ones posted before it.
    void Post(std::function<void()> job);
    /// Returns when every job posted so far has run.
    void Wait();

private:
    void Run();

    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    std::deque<std::function<void()>> m_Jobs;   // waiting; the running one is taken out
    bool m_Running = false;                     // a job is running
    bool m_Stopping = false;
    std::thread m_Thread;
};

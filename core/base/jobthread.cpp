#include "core/base/jobthread.h"

#include "core/base/heap.h"

CJobThread::CJobThread()
{
    UseOneHeap();   // before the thread's first allocation
    m_Thread = std::thread([this] { Run(); });
}

CJobThread::~CJobThread()
{
    Wait();
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Stopping = true;
    }
    m_Changed.notify_all();
    m_Thread.join();
}

void CJobThread::Post(std::function<void()> job)
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Jobs.push_back(std::move(job));
    }
    m_Changed.notify_all();
}

void CJobThread::Wait()
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    m_Changed.wait(lock, [this] { return m_Jobs.empty() && !m_Running; });
}

void CJobThread::Run()
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    for (;;) {
        m_Changed.wait(lock, [this] { return m_Stopping || !m_Jobs.empty(); });
        if (m_Jobs.empty())
            return;   // stopping, and nothing left
        std::function<void()> job = std::move(m_Jobs.front());
        m_Jobs.pop_front();
        m_Running = true;
        lock.unlock();
        job();
        lock.lock();
        m_Running = false;
        m_Changed.notify_all();
    }
}

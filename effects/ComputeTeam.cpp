#include "effects/ComputeTeam.h"

#include <algorithm>

namespace {
constexpr unsigned kMaxThreads = 4;

// The bounds of part k of `parts` over [0, n).
std::uint32_t PartBound(std::uint32_t n, unsigned parts, unsigned k)
{
    return static_cast<std::uint32_t>(std::uint64_t{n} * k / parts);
}
} // namespace

CComputeTeam::CComputeTeam() = default;

CComputeTeam::~CComputeTeam()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bQuit = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_helpers)
        t.join();
}

void CComputeTeam::For(std::uint32_t n, std::uint32_t grain,
                       const std::function<void(std::uint32_t, std::uint32_t)>& part)
{
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxThreads);
    const unsigned parts = static_cast<unsigned>(std::clamp<std::uint64_t>(grain ? n / grain : 1, 1, threads));
    // The helpers start with the first job that needs them: short runs
    // never pay for threads.
    while (m_helpers.size() + 1 < parts) {
        const unsigned k = static_cast<unsigned>(m_helpers.size()) + 1;
        // It waits for jobs after those already handed out.
        const std::uint64_t seen = m_job;
        m_helpers.emplace_back([this, k, seen] { Helper(k, seen); });
    }
    if (parts == 1) {
        if (n > 0)
            part(0, n);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_part = &part;
        m_n = n;
        m_parts = parts;
        m_pending = parts - 1;
        ++m_job;
    }
    m_wake.notify_all();
    part(0, PartBound(n, parts, 1));
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [this] { return m_pending == 0; });
    m_part = nullptr;
}

void CComputeTeam::Helper(unsigned index, std::uint64_t seen)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_bQuit || m_job != seen; });
        if (m_bQuit)
            return;
        seen = m_job;
        if (index >= m_parts)
            continue;
        const auto* part = m_part;
        const std::uint32_t from = PartBound(m_n, m_parts, index);
        const std::uint32_t to = PartBound(m_n, m_parts, index + 1);
        lock.unlock();
        (*part)(from, to);
        lock.lock();
        if (--m_pending == 0)
            m_done.notify_one();
    }
}

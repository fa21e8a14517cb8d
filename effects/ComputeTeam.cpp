#include "effects/ComputeTeam.h"

#include <algorithm>
#include <chrono>


#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {
constexpr unsigned kMaxThreads = 4;
// Chunks per thread of a job: enough that a late helper leaves most of the
// job to the others.
constexpr unsigned kChunksPerThread = 4;

// How long a thread that waits for the team (a helper for its next job,
// the caller for the last chunks) keeps checking before it sleeps. Runs
// hand out jobs a few hundred microseconds apart; a thread that slept in
// between would take tens of microseconds (far more in a virtual machine)
// to wake for each of them.
constexpr auto kSpin = std::chrono::microseconds(100);

// The bounds of chunk k of `chunks` over [0, n).
std::uint32_t ChunkBound(std::uint32_t n, std::uint32_t chunks, std::uint32_t k)
{
    return static_cast<std::uint32_t>(std::uint64_t{n} * k / chunks);
}

inline void Relax()
{
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#else
    std::this_thread::yield();
#endif
}

// Checks `ready` until it holds or the spin time is up; true if it held.
template <class ReadyFn>
bool SpinFor(ReadyFn&& ready)
{
    const auto until = std::chrono::steady_clock::now() + kSpin;
    for (unsigned k = 0;; ++k) {
        if (ready())
            return true;
        // The clock is read now and then: it costs more than a check.
        if (k % 64 == 63 && std::chrono::steady_clock::now() >= until)
            return false;
        Relax();
    }
}

std::uint32_t JobOf(std::uint64_t claim) { return static_cast<std::uint32_t>(claim >> 32); }
// The low half of the claim while the caller sets a job up.
constexpr std::uint32_t kSettingUp = 0xFFFFFFFF;
} // namespace

CComputeTeam::CComputeTeam() = default;

CComputeTeam::~CComputeTeam()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bQuit.store(true);
    }
    m_wake.notify_all();
    for (std::thread& t : m_helpers)
        t.join();
}

void CComputeTeam::For(std::uint32_t n, std::uint32_t grain,
                       const std::function<void(std::uint32_t, std::uint32_t)>& part)
{
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxThreads);
    const auto chunks = static_cast<std::uint32_t>(
        std::clamp<std::uint64_t>(grain ? n / grain : 1, 1, std::uint64_t{threads} * kChunksPerThread));
    if (chunks == 1 || threads == 1) {
        if (n > 0)
            part(0, n);
        return;
    }

    // The helpers start with the first job that needs them: short runs
    // never pay for threads.
    while (m_helpers.size() + 1 < threads) {
        // Each waits for jobs after those already handed out.
        const std::uint32_t seen = JobOf(m_claim.load());
        m_helpers.emplace_back([this, seen] { Helper(seen); });
    }
    std::uint32_t job;
    {
        // Handed out under the lock, so that a helper about to sleep sees
        // the job or is woken for it.
        std::lock_guard<std::mutex> lock(m_mutex);
        // The new number first, with no chunk to take until the job is set
        // up: a helper still at the last job can then take nothing.
        job = JobOf(m_claim.load()) + 1;
        m_claim.store(std::uint64_t{job} << 32 | kSettingUp);
        m_part.store(&part);
        m_n.store(n);
        m_chunks.store(chunks);
        m_finished.store(0);
        m_claim.store(std::uint64_t{job} << 32);
    }
    m_wake.notify_all();
    TakeChunks(job);
    if (!SpinFor([&] { return m_finished.load() == chunks; })) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_done.wait(lock, [&] { return m_finished.load() == chunks; });
    }
}

void CComputeTeam::TakeChunks(std::uint32_t job)
{
    // m_part, m_n and m_chunks belong to `job` for as long as one of its
    // chunks is taken and not finished: the caller does not return before.
    std::uint64_t claim = m_claim.load();
    for (;;) {
        if (JobOf(claim) != job)
            return;
        const auto k = static_cast<std::uint32_t>(claim);
        if (k == kSettingUp) {
            Relax();
            claim = m_claim.load();
            continue;
        }
        const std::uint32_t chunks = m_chunks.load();
        if (k >= chunks)
            return;
        if (!m_claim.compare_exchange_weak(claim, claim + 1))
            continue;
        const std::uint32_t n = m_n.load();
        (*m_part.load())(ChunkBound(n, chunks, k), ChunkBound(n, chunks, k + 1));
        if (m_finished.fetch_add(1) + 1 == chunks) {
            // The caller may be asleep: wake it under the lock, so that it
            // cannot miss the call between its check and its sleep.
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done.notify_all();
        }
        claim = m_claim.load();
    }
}

void CComputeTeam::Helper(std::uint32_t seen)
{
    for (;;) {
        auto ready = [&] { return m_bQuit.load() || JobOf(m_claim.load()) != seen; };
        if (!SpinFor(ready)) {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, ready);
        }
        if (m_bQuit.load())
            return;
        seen = JobOf(m_claim.load());
        TakeChunks(seen);
    }
}

#pragma once
// Splits the computing of a stretch of frames between the calling thread
// and one helper thread per further processor (at most three), kept for
// the life of the object. Only pure work is split: each chunk computes its
// own frames from data nobody writes meanwhile and stores them in bytes no
// other chunk touches.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class CComputeTeam {
public:
    CComputeTeam();
    ~CComputeTeam();
    CComputeTeam(const CComputeTeam&) = delete;
    CComputeTeam& operator=(const CComputeTeam&) = delete;

    // Calls part(from, to) for consecutive chunks covering [0, n), each
    // chunk once, on whichever thread of the team takes it first, and
    // returns when all have returned. Chunks have at least `grain` frames
    // (a shorter n is one chunk, run on this thread alone). A helper that
    // is late (asleep, or its processor busy with other work) holds up
    // only the chunk it has taken: this thread takes the others.
    void For(std::uint32_t n, std::uint32_t grain, const std::function<void(std::uint32_t, std::uint32_t)>& part);

private:
    void Helper(std::uint32_t seen);
    // Takes and runs chunks of job `job` until none is left.
    void TakeChunks(std::uint32_t job);

    std::vector<std::thread> m_helpers;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    // The current job; written before the job is handed out. Atomic: a
    // helper that took the number of a job that is over may read them
    // while the next job is set up (and then takes no chunk).
    std::atomic<const std::function<void(std::uint32_t, std::uint32_t)>*> m_part{nullptr};
    std::atomic<std::uint32_t> m_n{0};
    std::atomic<std::uint32_t> m_chunks{0};
    // The job's number (high half) and its next chunk not yet taken (low
    // half; all ones while the job is set up), in one word: a helper that
    // took the number of a job that is over can never take a chunk of the
    // next one.
    std::atomic<std::uint64_t> m_claim{0};
    std::atomic<std::uint32_t> m_finished{0}; // chunks of the current job returned
    std::atomic<bool> m_bQuit{false};
};

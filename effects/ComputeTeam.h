#pragma once
// Splits the computing of a stretch of frames between the calling thread
// and one helper thread per further processor (at most three), kept for
// the life of the object. Only pure work is split: each part computes its
// own frames from data nobody writes meanwhile and stores them in bytes no
// other part touches.

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

    // Calls part(from, to) for consecutive parts covering [0, n), each on
    // one thread, and returns when all have returned. Fewer than `grain`
    // frames a part run on this thread alone.
    void For(std::uint32_t n, std::uint32_t grain, const std::function<void(std::uint32_t, std::uint32_t)>& part);

private:
    void Helper(unsigned index, std::uint64_t seen);

    std::vector<std::thread> m_helpers;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void(std::uint32_t, std::uint32_t)>* m_part = nullptr;
    std::uint32_t m_n = 0;
    unsigned m_parts = 0;       // parts of the current job, this thread's included
    unsigned m_pending = 0;     // helper parts not yet returned
    std::uint64_t m_job = 0;    // counts the jobs handed out
    bool m_bQuit = false;
};

// The team that shares a stretch of frames between threads: every frame in
// exactly one chunk, each chunk done before For returns, and a helper that
// is held up inside its chunk leaves the rest of the job to the caller.

#include "effects/ComputeTeam.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

TEST(ComputeTeam, EveryFrameOnceInChunksOfAtLeastTheGrain)
{
    CComputeTeam team;
    struct Row {
        std::uint32_t n, grain;
    };
    const Row rows[] = {{0, 8192}, {1, 8192}, {8191, 8192}, {8192, 8192}, {16384, 8192},
                        {65536, 8192}, {100003, 8192}, {1u << 22, 8192}, {1000, 0}, {50, 7}};
    for (int round = 0; round < 50; ++round) {
        for (const Row& r : rows) {
            std::mutex m;
            std::vector<std::pair<std::uint32_t, std::uint32_t>> chunks;
            std::atomic<int> running{0};
            team.For(r.n, r.grain, [&](std::uint32_t a, std::uint32_t b) {
                ++running;
                std::this_thread::yield();
                {
                    std::lock_guard<std::mutex> lock(m);
                    chunks.emplace_back(a, b);
                }
                --running;
            });
            // Nothing still runs once For has returned.
            ASSERT_EQ(running.load(), 0);
            std::sort(chunks.begin(), chunks.end());
            std::uint32_t at = 0;
            for (const auto& [a, b] : chunks) {
                ASSERT_EQ(a, at) << r.n;
                ASSERT_LT(a, b) << r.n;
                if (r.grain && r.n >= r.grain) {
                    ASSERT_GE(b - a, r.grain) << r.n;
                }
                at = b;
            }
            ASSERT_EQ(at, r.n);
        }
    }
}

TEST(ComputeTeam, AHelperHeldUpLeavesTheOtherChunksToTheCaller)
{
    if (std::thread::hardware_concurrency() < 2)
        GTEST_SKIP() << "one processor: no helpers";
    CComputeTeam team;
    const std::thread::id caller = std::this_thread::get_id();
    for (int job = 0; job < 20; ++job) {
        std::atomic<std::uint32_t> byCaller{0};
        std::atomic<bool> heldInVain{false};
        team.For(1u << 20, 8192, [&](std::uint32_t, std::uint32_t) {
            if (std::this_thread::get_id() == caller) {
                byCaller.fetch_add(1);
                return;
            }
            // A helper held up inside its chunk until the caller has done
            // two: a caller that waited for its helpers' shares would
            // never get there.
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (byCaller.load() < 2 && std::chrono::steady_clock::now() < until)
                std::this_thread::yield();
            if (byCaller.load() < 2)
                heldInVain = true;
        });
        ASSERT_FALSE(heldInVain.load()) << "job " << job;
    }
}

// Work split over this thread and one more, for start-up's scans over the
// voxels. Each thread takes the next item as it gets free, so a second thread
// that starts late or runs on a busy core takes fewer items; only the item it
// holds when the items run out is waited for.
#pragma once
#include <atomic>
#include <cstddef>
#include <system_error>
#include <thread>

// Calls work(worker, item) once for every item below itemCount, worker 0 on
// this thread and worker 1 on a second one when `shared` and the machine has
// a second core and a thread to spare. Returns when all items are done.
template <typename Work> void shareWork(size_t itemCount, bool shared, Work work) {
    std::atomic<size_t> next(0);
    auto run = [&](int worker) {
        for (size_t item; (item = next++) < itemCount;)
            work(worker, item);
    };
    std::thread second;
    try {
        if (shared && std::thread::hardware_concurrency() != 1) second = std::thread(run, 1);
    } catch (const std::system_error&) {
        // no second thread: this one takes every item
    }
    run(0);
    if (second.joinable()) second.join();
}

#include "large_stack.h"

#include <pthread.h>

#include <cstring>
#include <exception>
#include <iostream>

namespace {

thread_local bool on_worker = false;

struct Job {
    const std::function<void()>* work;
    std::exception_ptr failure;
};

void* runJob(void* arg) {
    auto* job = static_cast<Job*>(arg);
    on_worker = true;
    try {
        (*job->work)();
    } catch (...) {
        job->failure = std::current_exception();
    }
    return nullptr;
}

// Starts the worker; false when the system refuses a thread of that size.
bool startWorker(pthread_t& thread, Job& job, size_t stack_bytes) {
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0)
        return false;
    const bool started = pthread_attr_setstacksize(&attr, stack_bytes) == 0 &&
                         pthread_create(&thread, &attr, runJob, &job) == 0;
    pthread_attr_destroy(&attr);
    return started;
}

} // namespace

bool on_large_stack_thread() { return on_worker; }

void run_on_large_stack(const std::function<void()>& work) {
    if (on_worker) {
        work();
        return;
    }
    Job job{&work, nullptr};
    pthread_t thread;
    // A system short of address space gets a smaller stack rather than none.
    bool started = false;
    for (size_t bytes = kLargeStackBytes; !started && bytes >= (size_t{64} << 20); bytes /= 4)
        started = startWorker(thread, job, bytes);
    if (!started) {
        std::cerr << "[ENGINE] no worker thread could be started; running on the caller's stack\n";
        work();
        return;
    }
    pthread_join(thread, nullptr);
    if (job.failure)
        std::rethrow_exception(job.failure);
}

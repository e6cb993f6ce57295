#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "engine/CLinkConverter.h"

namespace torvex {

// The lines of the conversion dialog: the record's name, the pages selected, the pages done.
constexpr std::string_view kConversionRecordFormat = "Download record : %s";
constexpr std::string_view kConversionTotalFormat = "Total files     : %d";
constexpr std::string_view kConversionDoneFormat = "Done            : %d";
// The title of the end-of-download actions that follow a conversion started by a run's end.
constexpr std::string_view kConversionFinishedTitle = "Conversion Finished";

// What a front end shows of the conversions: the record being converted, its pages, and how
// many jobs wait behind it.
struct CConversionProgress {
    bool busy = false;              // a job is running or waiting
    std::string projectDir;         // of the running job
    std::string record;
    int totalPages = 0;             // 0 while the job's first pass runs
    int donePages = 0;
    std::size_t waitingJobs = 0;
    int finishedJobs = 0;           // jobs that ended since the queue was made
    // The job that ended last: its record, how it ended and its counts.
    std::string lastRecord;
    ConversionOutcome lastOutcome = ConversionOutcome::Pending;
    int lastTotalPages = 0;
    int lastDonePages = 0;
};

// The link conversions of the program, run one after another in the order queued by a single
// worker thread, which is started with the first job and ends with the queue.
//
// Owned by the task manager of a front end (the end of a run queues its record) and used by the
// front end's commands; any thread may call every method. The queue is guarded by its own
// lock; the running job's counts are atomics, read without it.
class CLinkConversionQueue {
public:
    CLinkConversionQueue() = default;
    // Cancels what is queued and running and waits for the worker.
    ~CLinkConversionQueue();
    CLinkConversionQueue(const CLinkConversionQueue&) = delete;
    CLinkConversionQueue& operator=(const CLinkConversionQueue&) = delete;

    // Queues a job; the worker starts on it when it is idle.
    void Start(const CConversionJob& job);
    // Drops the waiting jobs and stops the running one after its current page.
    void CancelAll();
    CConversionProgress Progress() const;
    bool IsIdle() const;
    // Waits up to `milliseconds` for every job to end; true when none is left.
    bool WaitIdle(int milliseconds);

private:
    void Worker();

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<CConversionJob> m_jobs;
    std::shared_ptr<CLinkConverter> m_current;
    bool m_stopping = false;
    bool m_workerRunning = false;
    int m_finished = 0;
    std::string m_lastRecord;
    ConversionOutcome m_lastOutcome = ConversionOutcome::Pending;
    int m_lastTotal = 0;
    int m_lastDone = 0;
    std::thread m_worker;
};

} // namespace torvex

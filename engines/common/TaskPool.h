// A fixed set of worker threads that take tasks in the order they were submitted. The caller's
// thread submits tasks and later waits for each one; everything a task needs is in the task, so
// the workers never touch what the caller works with (archives, callbacks). A task that throws
// keeps its exception for the caller to rethrow.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace korvel::engine {

class TaskPool {
 public:
  // One piece of work. Its owner derives the data and the results it needs from this.
  struct Task {
    virtual ~Task() = default;
    // What the work threw, valid once the task is done.
    std::exception_ptr error;
    bool done = false;  // guarded by the pool
  };

  // What one worker thread does with the tasks it takes. Every thread has its own, made before
  // the thread starts, so it may keep things (a compressor, a decompressor) from task to task.
  class Worker {
   public:
    virtual ~Worker() = default;
    // Does `task`, which is of the type the pool's owner submits; exceptions are caught by the
    // pool and kept in the task.
    virtual void Run(Task& task) = 0;
  };
  using WorkerFactory = std::function<std::unique_ptr<Worker>()>;

  // Starts `workers` threads, each with a worker from `make_worker`.
  TaskPool(unsigned workers, const WorkerFactory& make_worker);
  // Lets the running tasks finish, drops the queued ones and joins every thread.
  ~TaskPool();
  TaskPool(const TaskPool&) = delete;
  TaskPool& operator=(const TaskPool&) = delete;

  // The usual number of workers: one per processor, from 1 to 8.
  static unsigned DefaultWorkers();

  unsigned Workers() const { return static_cast<unsigned>(threads_.size()); }
  void Submit(std::shared_ptr<Task> task);
  // Puts several tasks in line at once (all or, when it throws, none), waking the workers once.
  void Submit(std::vector<std::shared_ptr<Task>> tasks);
  bool Done(const Task& task);
  // Blocks until `task` is done.
  void Wait(const Task& task);

 private:
  void Stop();
  void Work(Worker& worker);

  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable task_done_;
  std::deque<std::shared_ptr<Task>> queue_;
  bool stopping_ = false;
  std::vector<std::unique_ptr<Worker>> workers_;
  std::vector<std::thread> threads_;
};

}  // namespace korvel::engine

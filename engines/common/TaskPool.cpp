#include "engines/common/TaskPool.h"

#include <algorithm>

namespace korvel::engine {

unsigned TaskPool::DefaultWorkers() {
  return std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
}

TaskPool::TaskPool(unsigned workers, const WorkerFactory& make_worker) {
  for (unsigned i = 0; i < workers; ++i) workers_.push_back(make_worker());
  try {
    for (const std::unique_ptr<Worker>& worker : workers_)
      threads_.emplace_back([this, &worker = *worker] { Work(worker); });
  } catch (...) {
    Stop();  // the threads already started
    throw;
  }
}

TaskPool::~TaskPool() {
  Stop();
}

void TaskPool::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  work_ready_.notify_all();
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
}

void TaskPool::Submit(std::shared_ptr<Task> task) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(task));
  }
  work_ready_.notify_one();
}

void TaskPool::Submit(std::vector<std::shared_ptr<Task>> tasks) {
  {
    std::lock_guard lock(mutex_);
    const std::size_t before = queue_.size();
    try {
      for (std::shared_ptr<Task>& task : tasks) queue_.push_back(std::move(task));
    } catch (...) {
      queue_.resize(before);
      throw;
    }
  }
  work_ready_.notify_all();
}

bool TaskPool::Done(const Task& task) {
  std::lock_guard lock(mutex_);
  return task.done;
}

void TaskPool::Wait(const Task& task) {
  std::unique_lock lock(mutex_);
  task_done_.wait(lock, [&] { return task.done; });
}

void TaskPool::Work(Worker& worker) {
  for (;;) {
    std::shared_ptr<Task> task;
    {
      std::unique_lock lock(mutex_);
      work_ready_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      task = std::move(queue_.front());
      queue_.pop_front();
    }
    try {
      worker.Run(*task);
    } catch (...) {
      task->error = std::current_exception();
    }
    {
      std::lock_guard lock(mutex_);
      task->done = true;
    }
    task_done_.notify_all();
  }
}

}  // namespace korvel::engine

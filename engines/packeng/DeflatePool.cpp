#include "engines/packeng/DeflatePool.h"

#include <libdeflate.h>

#include <new>

namespace korvel::engine {

int LibdeflateLevel(int level) {
  return level >= 9 ? 10 : level;
}

WholeCompressor::WholeCompressor(int libdeflate_level)
    : compressor_(libdeflate_alloc_compressor(libdeflate_level)), level_(libdeflate_level) {
  if (compressor_ == nullptr) throw std::bad_alloc();
}

WholeCompressor::~WholeCompressor() {
  libdeflate_free_compressor(compressor_);
}

std::size_t WholeCompressor::Deflate(const char* in, std::size_t size, char* out) {
  if (size <= 1) return 0;
  return libdeflate_deflate_compress(compressor_, in, size, out, size - 1);
}

DeflatePool::DeflatePool(unsigned workers) {
  for (unsigned i = 0; i < workers; ++i) threads_.emplace_back([this] { Work(); });
}

DeflatePool::~DeflatePool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  work_ready_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void DeflatePool::Submit(std::shared_ptr<Job> job) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(job));
  }
  work_ready_.notify_one();
}

bool DeflatePool::Done(const Job& job) {
  std::lock_guard lock(mutex_);
  return job.done;
}

void DeflatePool::Wait(const Job& job) {
  std::unique_lock lock(mutex_);
  job_done_.wait(lock, [&] { return job.done; });
}

void DeflatePool::Work() {
  std::unique_ptr<WholeCompressor> compressor;
  for (;;) {
    std::shared_ptr<Job> job;
    {
      std::unique_lock lock(mutex_);
      work_ready_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    try {
      if (!compressor || compressor->Level() != job->libdeflate_level)
        compressor = std::make_unique<WholeCompressor>(job->libdeflate_level);
      job->crc = libdeflate_crc32(0, job->data.get(), job->size);
      if (job->size > 1) {
        job->packed = std::make_unique_for_overwrite<char[]>(job->size - 1);
        job->packed_size = compressor->Deflate(job->data.get(), job->size, job->packed.get());
      }
    } catch (...) {
      job->error = std::current_exception();
    }
    {
      std::lock_guard lock(mutex_);
      job->done = true;
    }
    job_done_.notify_all();
  }
}

}  // namespace korvel::engine

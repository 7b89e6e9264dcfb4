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

namespace {

class DeflateWorker : public TaskPool::Worker {
 public:
  void Run(TaskPool::Task& task) override {
    auto& job = static_cast<DeflatePool::Job&>(task);
    if (!compressor_ || compressor_->Level() != job.libdeflate_level)
      compressor_ = std::make_unique<WholeCompressor>(job.libdeflate_level);
    job.crc = libdeflate_crc32(0, job.data.get(), job.size);
    if (job.size > 1) {
      job.packed = std::make_unique_for_overwrite<char[]>(job.size - 1);
      job.packed_size = compressor_->Deflate(job.data.get(), job.size, job.packed.get());
    }
  }

 private:
  std::unique_ptr<WholeCompressor> compressor_;
};

}  // namespace

DeflatePool::DeflatePool(unsigned workers)
    : pool_(workers, [] { return std::make_unique<DeflateWorker>(); }) {}

}  // namespace korvel::engine

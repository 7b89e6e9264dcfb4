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
    job.crc = libdeflate_crc32(0, job.data.get(), job.size);
    if (job.size <= 1) return;
    job.packed = std::make_unique_for_overwrite<char[]>(job.size - 1);
    if (job.quick_first && job.libdeflate_level >= kSearchingLevel) {
      job.packed_size = Compressor(quick_, 1).Deflate(job.data.get(), job.size, job.packed.get());
      if (job.packed_size == 0 || HardlyShrinks(job.size, job.packed_size)) return;
    }
    job.packed_size = Compressor(compressor_, job.libdeflate_level)
                          .Deflate(job.data.get(), job.size, job.packed.get());
  }

 private:
  static WholeCompressor& Compressor(std::unique_ptr<WholeCompressor>& kept, int level) {
    if (!kept || kept->Level() != level) kept = std::make_unique<WholeCompressor>(level);
    return *kept;
  }

  std::unique_ptr<WholeCompressor> compressor_;
  std::unique_ptr<WholeCompressor> quick_;
};

}  // namespace

DeflatePool::DeflatePool(unsigned workers)
    : pool_(workers, [] { return std::make_unique<DeflateWorker>(); }) {}

}  // namespace korvel::engine

// Streaming an entry through zlib, or copying it, with its CRC-32 taken on the way.
#include "engines/packeng/StreamCompression.h"

#include <zlib.h>

#include <string_view>

#include "engines/common/EngineCommon.h"

namespace korvel::engine {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

void CountPiece(std::uint64_t& total, std::size_t got) {
  total += got;
  if (total > kMaxZip32)
    throw SourceReadError("larger than 4 GB, which this archive format cannot hold");
}

}  // namespace

struct EntryStreamer::Zlib {
  z_stream stream{};
  int level = -1;  // -1 until deflateInit2 succeeded
  ~Zlib() {
    if (level >= 0) deflateEnd(&stream);
  }
};

EntryStreamer::EntryStreamer()
    : zlib_(std::make_unique<Zlib>()),
      in_(std::make_unique_for_overwrite<char[]>(kChunk)),
      out_(std::make_unique_for_overwrite<char[]>(kChunk)) {}

EntryStreamer::~EntryStreamer() = default;

StreamedData EntryStreamer::Store(EntrySource& source, ArchiveOutput& output,
                                  const ProgressFn& progress) {
  char* buffer = in_.get();
  std::uint64_t total = 0;
  uLong crc = crc32(0, nullptr, 0);
  for (;;) {
    const std::size_t got = source.Read(buffer, kChunk);
    if (got == 0) break;
    CountPiece(total, got);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer), static_cast<uInt>(got));
    output.Write(std::string_view(buffer, got));
    if (progress && !progress(got)) throw WriteCancelled();
  }
  const auto size = static_cast<std::uint32_t>(total);
  return StreamedData{static_cast<std::uint32_t>(crc), size, size};
}

EntryStreamer::Zlib& EntryStreamer::StartStream(int level) {
  Zlib& z = *zlib_;
  if (z.level == level) {
    if (deflateReset(&z.stream) != Z_OK) throw ArchiveWriteError("the compressor failed");
    return z;
  }
  if (z.level >= 0) deflateEnd(&z.stream);
  z.stream = z_stream{};
  z.level = -1;
  // Negative window bits: a raw stream, as zip entries hold it.
  if (deflateInit2(&z.stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw ArchiveWriteError("the compressor could not start");
  z.level = level;
  return z;
}

std::optional<StreamedData> EntryStreamer::Deflate(EntrySource& source, ArchiveOutput& output,
                                                   int level, const ProgressFn& progress) {
  z_stream& stream = StartStream(level).stream;
  char* in = in_.get();
  char* out = out_.get();
  std::uint64_t total = 0, packed = 0;
  uLong crc = crc32(0, nullptr, 0);
  int flush = Z_NO_FLUSH;
  do {
    const std::size_t got = source.Read(in, kChunk);
    CountPiece(total, got);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(in), static_cast<uInt>(got));
    flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
    stream.next_in = reinterpret_cast<Bytef*>(in);
    stream.avail_in = static_cast<uInt>(got);
    do {
      stream.next_out = reinterpret_cast<Bytef*>(out);
      stream.avail_out = static_cast<uInt>(kChunk);
      if (deflate(&stream, flush) == Z_STREAM_ERROR)
        throw ArchiveWriteError("the compressor failed");
      const std::size_t produced = kChunk - stream.avail_out;
      packed += produced;
      output.Write(std::string_view(out, produced));
    } while (stream.avail_out == 0);
    if (got > 0 && progress && !progress(got)) throw WriteCancelled();
  } while (flush != Z_FINISH);
  if (total == 0 || packed >= total) return std::nullopt;
  return StreamedData{static_cast<std::uint32_t>(crc), static_cast<std::uint32_t>(total),
                      static_cast<std::uint32_t>(packed)};
}

}  // namespace korvel::engine

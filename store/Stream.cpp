// Memory and file streams.
#include "store/Stream.h"

#include <algorithm>
#include <cstring>

#include "platform/Files.h"

namespace korvel {

std::size_t MemoryStream::Read(char* buffer, std::size_t count) {
  if (position_ >= bytes_.size()) return 0;
  const std::size_t n = std::min<std::uint64_t>(count, bytes_.size() - position_);
  std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += n;
  return n;
}

void MemoryStream::Write(std::string_view data) {
  if (position_ > bytes_.size()) bytes_.resize(position_);
  bytes_.replace(position_, std::min<std::uint64_t>(data.size(), bytes_.size() - position_), data);
  position_ += data.size();
}

void MemoryStream::Clear() {
  bytes_.clear();
  position_ = 0;
}

FileStream::FileStream(const std::string& path, Mode mode)
    : file_(std::make_unique<platform::BinaryFile>(
          path, mode == Mode::kRead ? platform::BinaryFile::Mode::kRead
                                    : platform::BinaryFile::Mode::kCreate)) {}

FileStream::~FileStream() = default;

std::size_t FileStream::Read(char* buffer, std::size_t count) {
  const std::size_t n = file_->ReadAt(position_, buffer, count);
  position_ += n;
  return n;
}

void FileStream::Write(std::string_view data) {
  file_->WriteAt(position_, data);
  position_ += data.size();
}

std::uint64_t FileStream::Size() const {
  return file_->Size();
}

void FileStream::Close() {
  file_->Close();
}

}  // namespace korvel

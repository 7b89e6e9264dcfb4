// Byte streams the store encodes from and decodes into: memory and files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace korvel::platform {
class BinaryFile;
}

namespace korvel {

// A sequence of bytes with a current position.
class Stream {
 public:
  virtual ~Stream() = default;

  // Reads up to `count` bytes at the position and moves past them; returns how many were read.
  virtual std::size_t Read(char* buffer, std::size_t count) = 0;
  // Writes all bytes at the position and moves past them. Raises on failure.
  virtual void Write(std::string_view data) = 0;
  virtual std::uint64_t Size() const = 0;
  virtual std::uint64_t Position() const = 0;
  virtual void SetPosition(std::uint64_t position) = 0;
};

class MemoryStream : public Stream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}

  std::size_t Read(char* buffer, std::size_t count) override;
  void Write(std::string_view data) override;
  std::uint64_t Size() const override { return bytes_.size(); }
  std::uint64_t Position() const override { return position_; }
  void SetPosition(std::uint64_t position) override { position_ = position; }

  const std::string& Bytes() const { return bytes_; }
  // Empties the stream.
  void Clear();
  // Sets the length; new bytes are zero, and the position stays where it was.
  void SetSize(std::uint64_t size) { bytes_.resize(size); }

 private:
  std::string bytes_;
  std::uint64_t position_ = 0;
};

// A file opened for reading, or created (or emptied) for writing.
class FileStream : public Stream {
 public:
  enum class Mode { kRead, kCreate };

  // Raises FileError: "Cannot open file "<path>". <reason>" or "Cannot create file ...".
  FileStream(const std::string& path, Mode mode);
  ~FileStream() override;

  std::size_t Read(char* buffer, std::size_t count) override;
  void Write(std::string_view data) override;
  std::uint64_t Size() const override;
  std::uint64_t Position() const override { return position_; }
  void SetPosition(std::uint64_t position) override { position_ = position; }

  // Closes the file; a failing close raises FileError.
  void Close();

 private:
  std::unique_ptr<platform::BinaryFile> file_;
  std::uint64_t position_ = 0;
};

}  // namespace korvel

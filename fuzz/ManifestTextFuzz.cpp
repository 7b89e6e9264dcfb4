// Arbitrary bytes as a manifest or descriptor, through the attribute filter, the descriptor
// update and the line operations they rest on.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "pipeline/ManifestRewrite.h"

namespace {

struct Scratch {
  Scratch() : path("/tmp/korvel-fuzz-text-" + std::to_string(::getpid()) + ".jad") {}
  ~Scratch() { ::unlink(path.c_str()); }
  std::string path;
};

void Write(const std::string& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Scratch scratch;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // Normalising twice gives the same text: every line ends with CR LF, none is empty.
  const std::string normal = korvel::NormalizeLineBreaks(text);
  if (korvel::NormalizeLineBreaks(normal) != normal) __builtin_trap();

  Write(scratch.path, text);
  const auto kept = korvel::LoadLinesExcept(scratch.path, korvel::kJarSizePrefix);
  if (!kept || kept->size() > size * 2 + 2) __builtin_trap();
  korvel::FilterAttributes(scratch.path);
  korvel::UpdateDescriptor(scratch.path, static_cast<std::int64_t>(size), "game.jar");
  return 0;
}

// The arithmetic core shared by create and repair: every output slice is
// a sum of input slices, each multiplied by a constant. Works through the
// slices one byte range (chunk) at a time so that memory stays bounded
// whatever the slice size: per pass, each worker thread reads its share of
// the sources' chunks and accumulates them into outputs of its own; the
// calling thread then adds the workers' outputs together and hands each
// output's chunk to the sink, in order, while the workers go on with the
// next pass.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

namespace pvx::par2 {

// What the caller learns while it waits and how it stops us; both are
// called on the calling thread only.
struct Progress {
  std::function<void(uint64_t done, uint64_t total)> report;
  std::function<bool()> cancelled;
};

constexpr uint64_t kDefaultMemoryLimit = 64ull << 20;

struct EngineSource {
  int fd = -1;
  const std::string* path = nullptr;  // for messages
  uint64_t offset = 0;     // where the slice starts in the file
  uint64_t available = 0;  // bytes of it in the file; the rest are zeros
  std::vector<uint16_t> coef;  // one per output
};

struct EngineJob {
  uint64_t slice_size = 0;
  size_t outputs = 0;
  std::vector<EngineSource> sources;
  // The bytes of each source as read (without the zero fill), in order per
  // source, from a worker thread; sources are never shared between workers.
  std::function<void(size_t source, const uint8_t* data, size_t len)> on_bytes;
  // Each output's bytes [off, off + len), in order, on the calling thread.
  std::function<bool(size_t output, uint64_t off, const uint8_t* data,
                     size_t len, std::string* error)>
      sink;
  uint64_t memory_limit = kDefaultMemoryLimit;
  unsigned threads = 2;
  // Called with the source bytes read so far, on the calling thread.
  std::function<void(uint64_t done)> tick;
  std::function<bool()> cancelled;
};

// The chunk length a job would use (for tests and planning).
size_t EngineChunk(const EngineJob& job, unsigned* threads);

// False with *error (naming the file and the cause, or "cancelled").
bool RunEngine(const EngineJob& job, std::string* error);

}  // namespace pvx::par2

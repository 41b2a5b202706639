#include "integrity/par2_engine.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "integrity/gf16.h"
#include "integrity/par2_io.h"

namespace pvx::par2 {

namespace {

// What the process needs besides our buffers: code, libraries, stacks,
// gf-complete's tables.
constexpr uint64_t kReserve = 14ull << 20;
constexpr size_t kAlign = 64;
// What a worker's chunk of each output and of its source come to at most
// (memory may bound them further): a larger chunk multiplies no faster, but
// every page of it costs a fault when first touched, and memory. A slice
// takes at most kMaxPasses passes, since each pass starts the workers anew.
constexpr uint64_t kWorkingSet = 1ull << 20;
constexpr uint64_t kMinChunk = 64u << 10;
constexpr uint64_t kMaxPasses = 1024;

struct FreeDeleter {
  void operator()(uint8_t* p) const { free(p); }
};
using Buffer = std::unique_ptr<uint8_t, FreeDeleter>;

Buffer Allocate(size_t bytes) {
  void* p = nullptr;
  if (posix_memalign(&p, kAlign, std::max<size_t>(bytes, kAlign)) != 0)
    return nullptr;
  return Buffer(static_cast<uint8_t*>(p));
}

// XOR, the addition of GF(2^16), of len bytes.
void AddInto(uint8_t* dst, const uint8_t* src, size_t len) {
  size_t i = 0;
  for (; i + 8 <= len; i += 8) {
    uint64_t a, b;
    memcpy(&a, dst + i, 8);
    memcpy(&b, src + i, 8);
    a ^= b;
    memcpy(dst + i, &a, 8);
  }
  for (; i < len; ++i) dst[i] ^= src[i];
}

}  // namespace

size_t EngineChunk(const EngineJob& job, unsigned* threads) {
  uint64_t budget = job.memory_limit > kReserve * 2 ? job.memory_limit - kReserve
                                                   : job.memory_limit / 2;
  unsigned t = std::max(1u, std::min<unsigned>(job.threads,
                                               static_cast<unsigned>(std::max<size_t>(1, job.sources.size()))));
  uint64_t len = 0;
  for (;; --t) {
    // Each worker's outputs and source, and the sum of the last pass.
    len = budget / (uint64_t(t) * (job.outputs + 1) + job.outputs);
    len -= len % kAlign;
    if (len >= (64u << 10) || t == 1) break;
  }
  if (len < kAlign) len = kAlign;
  uint64_t slice = job.slice_size + (kAlign - job.slice_size % kAlign) % kAlign;
  uint64_t cached = std::max(kMinChunk, kWorkingSet / (job.outputs + 1));
  cached = std::max(cached, (slice + kMaxPasses - 1) / kMaxPasses);
  cached -= cached % 4096;
  len = std::min({len, slice, cached});
  if (threads) *threads = t;
  return static_cast<size_t>(len);
}

bool RunEngine(const EngineJob& job, std::string* error) {
  unsigned nthreads = 1;
  const size_t chunk = EngineChunk(job, &nthreads);
  const size_t outs = job.outputs;

  // Shares of the sources, balanced by the bytes they hold.
  std::vector<std::vector<size_t>> share(nthreads);
  {
    std::vector<uint64_t> load(nthreads, 0);
    for (size_t i = 0; i < job.sources.size(); ++i) {
      size_t t = std::min_element(load.begin(), load.end()) - load.begin();
      share[t].push_back(i);
      load[t] += job.sources[i].available + 1;
    }
  }
  // The outputs of the pass before, summed, on their way to the sink.
  Buffer result = Allocate(outs * chunk);
  if (!result) {
    *error = "out of memory for the recovery buffers";
    return false;
  }
  std::vector<Buffer> acc(nthreads), in(nthreads);
  for (unsigned t = 0; t < nthreads; ++t) {
    acc[t] = Allocate(outs * chunk);
    in[t] = Allocate(chunk);
    if (!acc[t] || !in[t]) {
      *error = "out of memory for the recovery buffers";
      return false;
    }
  }
  std::vector<std::unique_ptr<Field>> fields;
  try {
    for (unsigned t = 0; t < nthreads; ++t) fields.emplace_back(new Field);
  } catch (const std::exception& e) {
    *error = e.what();
    return false;
  }

  std::atomic<uint64_t> done{0};
  std::atomic<bool> stop{false};
  std::mutex mu;
  std::condition_variable cv;
  std::string first_error;

  auto fail = [&](std::string why) {
    std::lock_guard<std::mutex> lock(mu);
    if (first_error.empty()) first_error = std::move(why);
    stop = true;
  };

  // Hands the summed outputs of [off, off + len) to the sink.
  auto deliver = [&](uint64_t off, size_t len) {
    for (size_t o = 0; o < outs; ++o)
      if (!job.sink(o, off, result.get() + o * chunk, len, error)) return false;
    return true;
  };
  bool pending = false;  // result holds a pass not yet delivered
  uint64_t pending_off = 0;
  size_t pending_len = 0;

  for (uint64_t off = 0; off < job.slice_size; off += chunk) {
    if (job.cancelled && job.cancelled()) {
      *error = "cancelled";
      return false;
    }
    const size_t len = static_cast<size_t>(std::min<uint64_t>(chunk, job.slice_size - off));
    unsigned running = nthreads;
    auto work = [&](unsigned t) {
      uint8_t* a = acc[t].get();
      uint8_t* b = in[t].get();
      const Field& f = *fields[t];
      bool first = true;  // the first source overwrites, the others add
      try {
        for (size_t i : share[t]) {
          if (stop) break;
          const EngineSource& s = job.sources[i];
          const size_t have = s.available > off
              ? static_cast<size_t>(std::min<uint64_t>(len, s.available - off)) : 0;
          if (have == 0) continue;  // only zeros here: they add nothing
          std::string why;
          if (!ReadAt(s.fd, s.offset + off, b, have, *s.path, &why)) {
            fail(why);
            break;
          }
          if (job.on_bytes) job.on_bytes(i, b, have);
          if (have < len) memset(b + have, 0, len - have);
          for (size_t o = 0; o < outs; ++o)
            f.MulRegion(b, a + o * chunk, s.coef[o], len, !first);
          first = false;
          done += have;
        }
      } catch (const std::exception& e) {
        fail(e.what());
      }
      if (first)
        for (size_t o = 0; o < outs; ++o) memset(a + o * chunk, 0, len);
      std::lock_guard<std::mutex> lock(mu);
      --running;
      cv.notify_all();
    };
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < nthreads; ++t) workers.emplace_back(work, t);
    // The pass before goes out while this one runs.
    const bool delivered = !pending || deliver(pending_off, pending_len);
    if (!delivered) stop = true;
    {
      std::unique_lock<std::mutex> lock(mu);
      while (running) {
        cv.wait_for(lock, std::chrono::milliseconds(100));
        lock.unlock();
        if (job.tick) job.tick(done);
        if (job.cancelled && job.cancelled()) fail("cancelled");
        lock.lock();
      }
    }
    for (auto& w : workers) w.join();
    if (!delivered) return false;  // *error: the sink's
    if (stop) {
      *error = first_error;
      return false;
    }
    for (unsigned t = 1; t < nthreads; ++t)
      AddInto(acc[0].get(), acc[t].get(), outs * chunk);
    // The sum becomes the result; the buffer delivered last is the first
    // worker's for the next pass (whose first source overwrites it).
    std::swap(acc[0], result);
    pending = true;
    pending_off = off;
    pending_len = len;
  }
  if (pending && !deliver(pending_off, pending_len)) return false;
  if (job.tick) job.tick(done);
  return true;
}

}  // namespace pvx::par2

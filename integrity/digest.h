// SHA-256 digests through libcrypto's EVP interface, and a background
// hasher that lets a copy loop hand over full buffers and go on reading.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <array>
#include <condition_variable>
#include <deque>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

struct evp_md_ctx_st;  // EVP_MD_CTX, kept out of this header

namespace pvx {

using Sha256 = std::array<uint8_t, 32>;

// The 64 lower-case hex digits of d.
std::string ToHex(const Sha256& d);
// Reads exactly 64 hex digits (either case) into *d; false otherwise.
bool FromHex(std::string_view hex, Sha256* d);

// One running SHA-256. Throws std::runtime_error when libcrypto fails
// (out of memory, or SHA-256 unavailable).
class Digest {
 public:
  Digest();                       // ready for Update
  ~Digest();
  Digest(const Digest&) = delete;
  Digest& operator=(const Digest&) = delete;

  void Update(const void* data, size_t len);  // adds bytes
  Sha256 Final();                             // digest so far; then restarts
  static Sha256 Of(const void* data, size_t len);  // one-shot

 private:
  void Init();
  evp_md_ctx_st* ctx_;
};

// Worker threads that hash submitted buffers into streams (one per file:
// a piece, the output), each stream's bytes in the order submitted. With
// one worker everything is hashed in submission order; with two, two
// streams fed the same buffer are hashed side by side. The memory is a fixed
// pool of buffers made at construction.
//
// All methods are called from one thread (the copier); the workers are
// internal. A copy loop goes:
//   Hasher::Buffer* b = h.Acquire();      // blocks only while all are busy
//   n = read(in, b->data, b->size);
//   h.Submit(b, n, {piece, output});     // same bytes into two streams
//   write(out, b->data, n);              // readable until the next Acquire
//   ...
//   Sha256 d = h.Finish(piece);          // waits for piece's bytes only
class Hasher {
 public:
  struct Buffer {
    uint8_t* data;
    size_t size;  // capacity: the constructor's buffer_size
  };
  using Stream = uint64_t;  // a handle; 0 is never a valid stream
  // Where a stream's bytes go instead of a SHA-256 (other checksums of the
  // same bytes): Update gets them in order, on a worker thread, and may
  // throw std::exception to fail the stream.
  class Sink {
   public:
    virtual ~Sink() = default;
    virtual void Update(const uint8_t* data, size_t len) = 0;
  };

  // Starts the workers (>= 1); buffers >= 1 of buffer_size >= 1 bytes each.
  explicit Hasher(size_t buffers = 4, size_t buffer_size = size_t(1) << 20,
                  size_t workers = 1);
  // Hashes what is still queued, then stops the workers. Unfinished streams
  // are dropped.
  ~Hasher();
  Hasher(const Hasher&) = delete;
  Hasher& operator=(const Hasher&) = delete;

  Stream NewStream();  // a new, empty digest; cheap
  // A stream whose bytes go to sink; Complete tells when they are all in.
  Stream NewStream(std::shared_ptr<Sink> sink);

  // A free buffer from the pool; blocks while all are queued for hashing.
  // Throws std::logic_error when the caller itself holds every buffer
  // (acquired, neither submitted nor released): that wait would never end.
  Buffer* Acquire();
  // Queues b's first len bytes (len <= b->size) for each of streams; b
  // returns to the pool once hashed into all of them. The caller may still
  // read b's bytes (write them out) until its next Acquire or SubmitCopy,
  // but not change them. On a throw (unknown stream, len too large) b is
  // back in the pool and nothing is queued.
  void Submit(Buffer* b, size_t len, std::initializer_list<Stream> streams);
  // The same for the len bytes at b->data + offset.
  void Submit(Buffer* b, size_t offset, size_t len,
              std::initializer_list<Stream> streams);
  // The same for count streams (count may be 0: b goes back at once).
  void Submit(Buffer* b, size_t offset, size_t len, const Stream* streams,
              size_t count);
  // Returns b to the pool unhashed (a read failed, nothing to hash).
  void Release(Buffer* b);
  // Queues a copy of len bytes (a piece header, say) for each of streams;
  // data may change once this returns. Small copies (<= 4 KiB) are held by
  // the job, larger ones go through pool buffers (may block like Acquire).
  void SubmitCopy(const void* data, size_t len,
                  std::initializer_list<Stream> streams);
  void SubmitCopy(const void* data, size_t len, const Stream* streams,
                  size_t count);

  // Waits until all of s's queued bytes are hashed and returns its digest;
  // s is closed afterwards. Throws std::runtime_error when hashing failed.
  Sha256 Finish(Stream s);
  // Waits for s's queued bytes and closes s without a digest.
  void Discard(Stream s);
  // Waits until all of s's queued bytes reached its sink and closes s.
  // Throws std::runtime_error when the sink failed.
  void Complete(Stream s);

 private:
  struct StreamState;
  struct Job {
    Buffer* buffer = nullptr;        // pool buffer to return, or null
    std::vector<uint8_t> small;      // owned copy when buffer is null
    const uint8_t* data = nullptr;
    size_t len = 0;
    size_t remaining = 0;            // streams not yet fed these bytes
  };

  void Queue(Buffer* b, const uint8_t* data, size_t len,
             std::vector<uint8_t> small, const Stream* ss, size_t count);
  StreamState* WaitIdle(Stream s, std::unique_lock<std::mutex>& lock);
  // Waits for s's queued bytes, then removes s and hands over its state.
  std::unique_ptr<StreamState> Take(Stream s);
  void Work();

  std::vector<std::unique_ptr<uint8_t[]>> storage_;
  std::vector<Buffer> buffers_;
  std::vector<Buffer*> free_;
  size_t held_ = 0;  // acquired by the caller, not yet submitted or released

  std::mutex mu_;
  std::condition_variable work_cv_;  // workers: a ready stream, or stop
  std::condition_variable free_cv_;  // copier: a buffer came back
  std::condition_variable done_cv_;  // copier: a stream's jobs are done
  // Streams with queued jobs and no worker on them, oldest first.
  std::deque<StreamState*> ready_;
  std::unordered_map<Stream, std::unique_ptr<StreamState>> streams_;
  Stream next_stream_ = 1;
  bool stop_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace pvx

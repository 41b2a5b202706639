#include "cli/digest.h"

#include <string.h>

#include <openssl/evp.h>

#include <stdexcept>

namespace pvx {

std::string ToHex(const Sha256& d) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex(64, '0');
  for (size_t i = 0; i < d.size(); ++i) {
    hex[2 * i] = kDigits[d[i] >> 4];
    hex[2 * i + 1] = kDigits[d[i] & 15];
  }
  return hex;
}

static int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool FromHex(std::string_view hex, Sha256* d) {
  if (hex.size() != 64) return false;
  Sha256 out;
  for (size_t i = 0; i < out.size(); ++i) {
    int hi = HexValue(hex[2 * i]), lo = HexValue(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    out[i] = static_cast<uint8_t>(hi << 4 | lo);
  }
  *d = out;
  return true;
}

// ---- Digest -----------------------------------------------------------------

Digest::Digest() : ctx_(EVP_MD_CTX_new()) {
  if (!ctx_) throw std::runtime_error("libcrypto: out of memory");
  try {
    Init();
  } catch (...) {
    EVP_MD_CTX_free(ctx_);
    throw;
  }
}

Digest::~Digest() { EVP_MD_CTX_free(ctx_); }

void Digest::Init() {
  if (EVP_DigestInit_ex(ctx_, EVP_sha256(), nullptr) != 1)
    throw std::runtime_error("libcrypto: SHA-256 is not available");
}

void Digest::Update(const void* data, size_t len) {
  if (len && EVP_DigestUpdate(ctx_, data, len) != 1)
    throw std::runtime_error("libcrypto: SHA-256 update failed");
}

Sha256 Digest::Final() {
  Sha256 d;
  unsigned int n = 0;
  if (EVP_DigestFinal_ex(ctx_, d.data(), &n) != 1 || n != d.size())
    throw std::runtime_error("libcrypto: SHA-256 final failed");
  Init();
  return d;
}

Sha256 Digest::Of(const void* data, size_t len) {
  Digest d;
  d.Update(data, len);
  return d.Final();
}

// ---- Hasher -----------------------------------------------------------------

struct Hasher::StreamState {
  Digest digest;
  size_t pending = 0;  // queued jobs not yet hashed into this stream
  std::string error;   // set by the worker when hashing failed
};

static constexpr size_t kSmallCopy = 4096;

Hasher::Hasher(size_t buffers, size_t buffer_size) {
  if (buffers == 0 || buffer_size == 0)
    throw std::invalid_argument("Hasher: no buffers");
  buffers_.reserve(buffers);
  for (size_t i = 0; i < buffers; ++i) {
    storage_.emplace_back(new uint8_t[buffer_size]);
    buffers_.push_back(Buffer{storage_.back().get(), buffer_size});
  }
  for (Buffer& b : buffers_) free_.push_back(&b);
  worker_ = std::thread(&Hasher::Work, this);
}

Hasher::~Hasher() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
  }
  work_cv_.notify_one();
  worker_.join();
}

Hasher::Stream Hasher::NewStream() {
  auto state = std::make_unique<StreamState>();
  std::lock_guard<std::mutex> lock(mu_);
  Stream s = next_stream_++;
  streams_.emplace(s, std::move(state));
  return s;
}

Hasher::Buffer* Hasher::Acquire() {
  std::unique_lock<std::mutex> lock(mu_);
  if (free_.empty() && held_ == buffers_.size())
    throw std::logic_error("Hasher: every buffer is held by the caller");
  free_cv_.wait(lock, [this] { return !free_.empty(); });
  Buffer* b = free_.back();
  free_.pop_back();
  ++held_;
  return b;
}

void Hasher::Release(Buffer* b) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    free_.push_back(b);
    --held_;
  }
  free_cv_.notify_one();
}

void Hasher::Submit(Buffer* b, size_t len,
                    std::initializer_list<Stream> streams) {
  if (len > b->size) throw std::invalid_argument("Hasher: len > buffer");
  Queue(b, b->data, len, {}, streams);
}

void Hasher::SubmitCopy(const void* data, size_t len,
                        std::initializer_list<Stream> streams) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  if (len <= kSmallCopy) {
    std::vector<uint8_t> copy(p, p + len);
    const uint8_t* at = copy.data();
    Queue(nullptr, at, len, std::move(copy), streams);
    return;
  }
  while (len) {
    Buffer* b = Acquire();
    size_t n = len < b->size ? len : b->size;
    memcpy(b->data, p, n);
    Submit(b, n, streams);
    p += n;
    len -= n;
  }
}

void Hasher::Queue(Buffer* b, const uint8_t* data, size_t len,
                   std::vector<uint8_t> small,
                   std::initializer_list<Stream> ss) {
  Job job;
  job.buffer = b;
  job.small = std::move(small);  // moving keeps the bytes where data points
  job.data = data;
  job.len = len;
  {
    std::lock_guard<std::mutex> lock(mu_);
    for (Stream s : ss) {
      auto it = streams_.find(s);
      if (it == streams_.end()) {
        if (b) {
          free_.push_back(b);
          --held_;
        }
        throw std::invalid_argument("Hasher: unknown stream");
      }
      job.streams.push_back(it->second.get());
    }
    for (StreamState* st : job.streams) ++st->pending;
    if (b) --held_;
    jobs_.push_back(std::move(job));
  }
  work_cv_.notify_one();
}

Hasher::StreamState* Hasher::WaitIdle(Stream s,
                                      std::unique_lock<std::mutex>& lock) {
  auto it = streams_.find(s);
  if (it == streams_.end()) throw std::invalid_argument("Hasher: unknown stream");
  StreamState* st = it->second.get();
  done_cv_.wait(lock, [st] { return st->pending == 0; });
  return st;
}

Sha256 Hasher::Finish(Stream s) {
  std::unique_lock<std::mutex> lock(mu_);
  StreamState* st = WaitIdle(s, lock);
  // The worker holds no job for st now, so its digest is the caller's.
  std::unique_ptr<StreamState> owned = std::move(streams_[s]);
  streams_.erase(s);
  lock.unlock();
  if (!owned->error.empty()) throw std::runtime_error(owned->error);
  (void)st;
  return owned->digest.Final();
}

void Hasher::Discard(Stream s) {
  std::unique_lock<std::mutex> lock(mu_);
  WaitIdle(s, lock);
  std::unique_ptr<StreamState> owned = std::move(streams_[s]);
  streams_.erase(s);
  lock.unlock();
}

void Hasher::Work() {
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    work_cv_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // stopping, and everything is hashed
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    for (StreamState* st : job.streams) {
      if (!st->error.empty()) continue;
      try {
        st->digest.Update(job.data, job.len);
      } catch (const std::exception& e) {
        st->error = e.what();
      }
    }
    lock.lock();
    for (StreamState* st : job.streams) --st->pending;
    if (job.buffer) free_.push_back(job.buffer);
    free_cv_.notify_one();
    done_cv_.notify_all();
  }
}

}  // namespace pvx

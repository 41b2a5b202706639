#include "integrity/digest.h"

#include <pthread.h>
#include <signal.h>
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
  std::shared_ptr<Sink> sink;  // takes the bytes instead of digest when set
  std::deque<std::shared_ptr<Job>> queue;  // not yet taken by a worker
  bool busy = false;   // a worker is hashing one of its jobs
  size_t pending = 0;  // queued jobs plus the one being hashed
  std::string error;   // set by a worker when hashing failed
};

static constexpr size_t kSmallCopy = 4096;

Hasher::Hasher(size_t buffers, size_t buffer_size, size_t workers) {
  if (buffers == 0 || buffer_size == 0 || workers == 0)
    throw std::invalid_argument("Hasher: no buffers or no workers");
  buffers_.reserve(buffers);
  for (size_t i = 0; i < buffers; ++i) {
    storage_.emplace_back(new uint8_t[buffer_size]);
    buffers_.push_back(Buffer{storage_.back().get(), buffer_size});
  }
  for (Buffer& b : buffers_) free_.push_back(&b);
  // The workers take no signal that a user or the system sends: such a
  // signal must reach a thread that waits for it. A Ctrl-C taken by a
  // worker would only set the program's flag, while the main thread kept
  // waiting at a prompt for a line that never comes. They inherit the
  // mask of the thread that starts them.
  sigset_t sent, before;
  sigemptyset(&sent);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP})
    sigaddset(&sent, sig);
  pthread_sigmask(SIG_BLOCK, &sent, &before);
  struct Restore {
    const sigset_t* mask;
    ~Restore() { pthread_sigmask(SIG_SETMASK, mask, nullptr); }
  } restore{&before};
  for (size_t i = 0; i < workers; ++i)
    workers_.emplace_back(&Hasher::Work, this);
}

Hasher::~Hasher() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
  }
  work_cv_.notify_all();
  for (std::thread& t : workers_) t.join();
}

Hasher::Stream Hasher::NewStream() { return NewStream(nullptr); }

Hasher::Stream Hasher::NewStream(std::shared_ptr<Sink> sink) {
  auto state = std::make_unique<StreamState>();
  state->sink = std::move(sink);
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
  Submit(b, 0, len, streams);
}

void Hasher::Submit(Buffer* b, size_t offset, size_t len,
                    std::initializer_list<Stream> streams) {
  Submit(b, offset, len, streams.begin(), streams.size());
}

void Hasher::Submit(Buffer* b, size_t offset, size_t len,
                    const Stream* streams, size_t count) {
  if (offset > b->size || len > b->size - offset) {
    Release(b);
    throw std::invalid_argument("Hasher: len > buffer");
  }
  Queue(b, b->data + offset, len, {}, streams, count);
}

void Hasher::SubmitCopy(const void* data, size_t len,
                        std::initializer_list<Stream> streams) {
  SubmitCopy(data, len, streams.begin(), streams.size());
}

void Hasher::SubmitCopy(const void* data, size_t len, const Stream* streams,
                        size_t count) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  if (len <= kSmallCopy) {
    std::vector<uint8_t> copy(p, p + len);
    const uint8_t* at = copy.data();
    Queue(nullptr, at, len, std::move(copy), streams, count);
    return;
  }
  while (len) {
    Buffer* b = Acquire();
    size_t n = len < b->size ? len : b->size;
    memcpy(b->data, p, n);
    Submit(b, 0, n, streams, count);
    p += n;
    len -= n;
  }
}

void Hasher::Queue(Buffer* b, const uint8_t* data, size_t len,
                   std::vector<uint8_t> small, const Stream* ss,
                   size_t count) {
  auto job = std::make_shared<Job>();
  job->buffer = b;
  job->small = std::move(small);  // moving keeps the bytes where data points
  job->data = data;
  job->len = len;
  job->remaining = count;
  bool woke = false;
  {
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<StreamState*> targets;
    for (size_t i = 0; i < count; ++i) {
      const Stream s = ss[i];
      auto it = streams_.find(s);
      if (it == streams_.end()) {
        if (b) {
          free_.push_back(b);
          --held_;
          free_cv_.notify_one();
        }
        throw std::invalid_argument("Hasher: unknown stream");
      }
      targets.push_back(it->second.get());
    }
    if (b) --held_;
    if (targets.empty() && b) {
      free_.push_back(b);  // hashed into no stream: free at once
      free_cv_.notify_one();
    }
    for (StreamState* st : targets) {
      st->queue.push_back(job);
      ++st->pending;
      if (!st->busy && st->queue.size() == 1) {
        ready_.push_back(st);
        woke = true;
      }
    }
  }
  if (woke) work_cv_.notify_all();
}

Hasher::StreamState* Hasher::WaitIdle(Stream s,
                                      std::unique_lock<std::mutex>& lock) {
  auto it = streams_.find(s);
  if (it == streams_.end()) throw std::invalid_argument("Hasher: unknown stream");
  StreamState* st = it->second.get();
  done_cv_.wait(lock, [st] { return st->pending == 0; });
  return st;
}

std::unique_ptr<Hasher::StreamState> Hasher::Take(Stream s) {
  std::unique_lock<std::mutex> lock(mu_);
  WaitIdle(s, lock);
  // No worker holds a job for s now, so its state is the caller's.
  std::unique_ptr<StreamState> owned = std::move(streams_[s]);
  streams_.erase(s);
  return owned;
}

Sha256 Hasher::Finish(Stream s) {
  std::unique_ptr<StreamState> owned = Take(s);
  if (!owned->error.empty()) throw std::runtime_error(owned->error);
  return owned->digest.Final();
}

void Hasher::Discard(Stream s) { Take(s); }

void Hasher::Complete(Stream s) {
  std::unique_ptr<StreamState> owned = Take(s);
  if (!owned->error.empty()) throw std::runtime_error(owned->error);
}

void Hasher::Work() {
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    work_cv_.wait(lock, [this] { return stop_ || !ready_.empty(); });
    // Stopping: what is left lies with streams other workers are on, and
    // they take those up again themselves.
    if (ready_.empty()) return;
    StreamState* st = ready_.front();
    ready_.pop_front();
    std::shared_ptr<Job> job = std::move(st->queue.front());
    st->queue.pop_front();
    st->busy = true;
    bool failed = !st->error.empty();
    lock.unlock();
    std::string error;
    if (!failed) {
      try {
        if (st->sink) st->sink->Update(job->data, job->len);
        else st->digest.Update(job->data, job->len);
      } catch (const std::exception& e) {
        error = e.what();
      }
    }
    lock.lock();
    if (!error.empty()) st->error = error;
    st->busy = false;
    --st->pending;
    if (!st->queue.empty()) {
      ready_.push_back(st);
      work_cv_.notify_one();
    }
    if (--job->remaining == 0 && job->buffer) {
      free_.push_back(job->buffer);
      free_cv_.notify_one();
    }
    if (st->pending == 0) done_cv_.notify_all();
  }
}

}  // namespace pvx

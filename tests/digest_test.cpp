// SHA-256 through libcrypto, and the background hasher a copy loop feeds.
#include "integrity/digest.h"

#include <pthread.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/test_util.h"

namespace pvx {
namespace {

// Digests computed with coreutils' sha256sum.
constexpr const char* kEmpty =
    "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
constexpr const char* kAbc =
    "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
constexpr const char* kMillionA =  // 1000000 x 'a'
    "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";
constexpr const char* kMebiA =  // 1048576 x 'a'
    "9bc1b2a288b26af7257a36277ae3816a7d4f16e89c1e7e77d0a5c48bad62b360";

std::string HexOf(const std::string& s) {
  return ToHex(Digest::Of(s.data(), s.size()));
}

TEST(Digest, KnownVectors) {
  EXPECT_EQ(HexOf(""), kEmpty);
  EXPECT_EQ(HexOf("abc"), kAbc);
  EXPECT_EQ(HexOf(std::string(1000000, 'a')), kMillionA);
  EXPECT_EQ(HexOf(std::string(1048576, 'a')), kMebiA);
}

TEST(Digest, UpdatesInPiecesEqualOneShot) {
  std::string a(1000000, 'a');
  Digest d;
  for (size_t at = 0, step = 1; at < a.size(); at += step, step = step * 3 + 1)
    d.Update(a.data() + at, std::min(step, a.size() - at));
  EXPECT_EQ(ToHex(d.Final()), kMillionA);
}

TEST(Digest, FinalStartsAfresh) {
  Digest d;
  d.Update("abc", 3);
  EXPECT_EQ(ToHex(d.Final()), kAbc);
  EXPECT_EQ(ToHex(d.Final()), kEmpty);
  d.Update("abc", 3);
  EXPECT_EQ(ToHex(d.Final()), kAbc);
}

TEST(Hex, ReadsEitherCaseAndRefusesOthers) {
  Sha256 d;
  ASSERT_TRUE(FromHex(kAbc, &d));
  EXPECT_EQ(ToHex(d), kAbc);
  std::string upper = kAbc;
  for (char& c : upper) c = static_cast<char>(toupper(c));
  ASSERT_TRUE(FromHex(upper, &d));
  EXPECT_EQ(ToHex(d), kAbc);
  EXPECT_FALSE(FromHex(std::string(kAbc).substr(1), &d));
  EXPECT_FALSE(FromHex(std::string(kAbc) + "0", &d));
  std::string bad = kAbc;
  bad[10] = 'g';
  EXPECT_FALSE(FromHex(bad, &d));
}

// ---- Hasher -----------------------------------------------------------------

// A hasher that waits for ever must fail its test, not stall the run: each
// case has a minute, after which the program ends with status 1.
extern "C" void HasherHung(int) {
  static const char text[] =
      "\nHasherTest: no end within 60 s (a wait that never ends)\n";
  (void)!write(STDERR_FILENO, text, sizeof text - 1);
  _exit(1);
}

// Each case runs with one worker and with two.
class HasherTest : public ::testing::TestWithParam<size_t> {
 protected:
  void SetUp() override {
    struct sigaction hung = {};
    hung.sa_handler = HasherHung;
    sigemptyset(&hung.sa_mask);
    ASSERT_EQ(sigaction(SIGALRM, &hung, &before_), 0);
    alarm(60);
  }
  void TearDown() override {
    alarm(0);
    sigaction(SIGALRM, &before_, nullptr);
  }
  struct sigaction before_ = {};
};

// Copies len bytes through the pool and submits them to streams.
void Feed(Hasher& h, const uint8_t* p, size_t len,
          std::initializer_list<Hasher::Stream> streams) {
  while (len) {
    Hasher::Buffer* b = h.Acquire();
    size_t n = std::min(len, b->size);
    memcpy(b->data, p, n);
    h.Submit(b, n, streams);
    p += n;
    len -= n;
  }
}

TEST_P(HasherTest, InterleavedStreamsOfRandomSizesMatchOneShot) {
  std::mt19937 rng(7);
  Hasher h(3, 64 * 1024, GetParam());
  // Three files; each chunk goes to one stream, or to one and the "all" one,
  // as a join feeds a piece's digest and the output's.
  Hasher::Stream s[3] = {h.NewStream(), h.NewStream(), h.NewStream()};
  Hasher::Stream all = h.NewStream();
  std::string bytes[3], everything;
  std::vector<uint8_t> src = test::Pattern(300000, 3);
  for (int round = 0; round < 400; ++round) {
    int which = static_cast<int>(rng() % 3);
    size_t len = rng() % 70000;  // sometimes 0, sometimes > one buffer
    size_t at = rng() % (src.size() - len);
    const uint8_t* p = src.data() + at;
    bytes[which].append(reinterpret_cast<const char*>(p), len);
    if (which == 2) {
      Feed(h, p, len, {s[2]});
    } else {
      Feed(h, p, len, {s[which], all});
      everything.append(reinterpret_cast<const char*>(p), len);
    }
  }
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(ToHex(h.Finish(s[i])), HexOf(bytes[i])) << "stream " << i;
  EXPECT_EQ(ToHex(h.Finish(all)), HexOf(everything));
}

TEST_P(HasherTest, ManySmallCopiesAndLargeCopies) {
  Hasher h(4, 1 << 20, GetParam());
  Hasher::Stream small = h.NewStream(), large = h.NewStream();
  std::vector<uint8_t> src = test::Pattern(5 * 1024 * 1024 + 17, 9);
  std::string small_bytes;
  for (int i = 0; i < 20000; ++i) {
    uint8_t header[284];
    size_t n = static_cast<size_t>(i % 285);
    for (size_t k = 0; k < n; ++k) header[k] = static_cast<uint8_t>(i + k);
    h.SubmitCopy(header, n, {small});
    memset(header, 0xEE, sizeof header);  // the job holds its own copy
    for (size_t k = 0; k < n; ++k)
      small_bytes += static_cast<char>(static_cast<uint8_t>(i + k));
  }
  // Larger than the small-copy limit: goes through the pool, 6 buffers' worth.
  h.SubmitCopy(src.data(), src.size(), {large});
  h.SubmitCopy(src.data(), 5000, {large});
  std::string large_bytes(src.begin(), src.end());
  large_bytes.append(src.begin(), src.begin() + 5000);
  EXPECT_EQ(ToHex(h.Finish(small)), HexOf(small_bytes));
  EXPECT_EQ(ToHex(h.Finish(large)), HexOf(large_bytes));
}

TEST_P(HasherTest, OneBufferPoolDoesNotDeadlock) {
  Hasher h(1, 4096, GetParam());
  Hasher::Stream a = h.NewStream(), b = h.NewStream();
  std::string a_bytes, b_bytes;
  std::vector<uint8_t> src = test::Pattern(100000, 5);
  for (int i = 0; i < 200; ++i) {
    size_t len = 1 + static_cast<size_t>(i) * 37 % 4096;
    Feed(h, src.data() + i, len, {a, b});
    a_bytes.append(reinterpret_cast<const char*>(src.data() + i), len);
    h.SubmitCopy(src.data(), 10000, {b});  // more than the one buffer
  }
  for (int i = 0; i < 200; ++i) {
    b_bytes.append(reinterpret_cast<const char*>(src.data() + i),
                   1 + static_cast<size_t>(i) * 37 % 4096);
    b_bytes.append(reinterpret_cast<const char*>(src.data()), 10000);
  }
  EXPECT_EQ(ToHex(h.Finish(a)), HexOf(a_bytes));
  EXPECT_EQ(ToHex(h.Finish(b)), HexOf(b_bytes));
}

TEST_P(HasherTest, AcquiringWhileHoldingEveryBufferThrowsInsteadOfHanging) {
  Hasher h(2, 16, GetParam());
  Hasher::Buffer* first = h.Acquire();
  Hasher::Buffer* second = h.Acquire();
  EXPECT_THROW(h.Acquire(), std::logic_error);
  h.Release(first);
  Hasher::Stream s = h.NewStream();
  memcpy(second->data, "abc", 3);
  h.Submit(second, 3, {s});
  EXPECT_EQ(ToHex(h.Finish(s)), kAbc);
  // Both buffers are free again.
  Hasher::Buffer* x = h.Acquire();
  Hasher::Buffer* y = h.Acquire();
  EXPECT_NE(x, y);
  h.Release(x);
  h.Release(y);
}

TEST_P(HasherTest, ClosedOrUnknownStreamIsRefusedAndTheBufferComesBack) {
  Hasher h(1, 16, GetParam());
  Hasher::Stream s = h.NewStream();
  EXPECT_EQ(ToHex(h.Finish(s)), kEmpty);
  Hasher::Buffer* b = h.Acquire();
  EXPECT_THROW(h.Submit(b, 1, {s}), std::invalid_argument);
  EXPECT_THROW(h.Finish(s), std::invalid_argument);
  EXPECT_THROW(h.SubmitCopy("x", 1, {Hasher::Stream{0}}),
               std::invalid_argument);
  // The one buffer went back to the pool with the refused job.
  Hasher::Stream t = h.NewStream();
  b = h.Acquire();
  memcpy(b->data, "abc", 3);
  h.Submit(b, 3, {t});
  EXPECT_EQ(ToHex(h.Finish(t)), kAbc);
}

TEST_P(HasherTest, OneBufferIntoManyStreamsAndIntoNone) {
  Hasher h(1, 3, GetParam());
  Hasher::Stream s[5];
  for (auto& x : s) x = h.NewStream();
  for (int i = 0; i < 50; ++i) {
    Hasher::Buffer* b = h.Acquire();
    memcpy(b->data, "abc", 3);
    h.Submit(b, 3, {s[0], s[1], s[2], s[3], s[4]});
  }
  Hasher::Buffer* b = h.Acquire();
  h.Submit(b, 3, {});  // no stream: the buffer is free again at once
  b = h.Acquire();
  EXPECT_THROW(h.Submit(b, 4, {s[0]}), std::invalid_argument);  // > size
  std::string expect = HexOf([] {
    std::string t;
    for (int i = 0; i < 50; ++i) t += "abc";
    return t;
  }());
  for (auto& x : s) EXPECT_EQ(ToHex(h.Finish(x)), expect);
}

TEST_P(HasherTest, FinishOfOneStreamLeavesTheOthersRunning) {
  Hasher h(2, 1000, GetParam());
  Hasher::Stream piece = h.NewStream(), output = h.NewStream();
  std::string a(1000000, 'a');
  Feed(h, reinterpret_cast<const uint8_t*>(a.data()), 3, {piece});
  Feed(h, reinterpret_cast<const uint8_t*>(a.data()), a.size(), {output});
  Hasher::Stream next = h.NewStream();
  h.SubmitCopy("abc", 3, {next});
  EXPECT_EQ(HexOf("aaa"), ToHex(h.Finish(piece)));
  EXPECT_EQ(ToHex(h.Finish(next)), kAbc);
  EXPECT_EQ(ToHex(h.Finish(output)), kMillionA);
}

TEST_P(HasherTest, DiscardAndDestructionWithQueuedWorkEnd) {
  // Both end within the fixture's minute, or the test fails.
  std::vector<uint8_t> src = test::Pattern(3 << 20, 1);
  {
    Hasher h(2, 1 << 16, GetParam());
    Hasher::Stream s = h.NewStream(), t = h.NewStream();
    Feed(h, src.data(), src.size(), {s, t});
    h.Discard(s);
    EXPECT_THROW(h.Finish(s), std::invalid_argument);
    // The discarded stream's buffers are back: both can be taken at once,
    // and the workers still hash what follows.
    Hasher::Buffer* a = h.Acquire();
    Hasher::Buffer* b = h.Acquire();
    EXPECT_NE(a, b);
    h.Release(a);
    h.Release(b);
    Hasher::Stream u = h.NewStream();
    h.SubmitCopy("abc", 3, {u});
    EXPECT_EQ(ToHex(h.Finish(u)), kAbc);
    Feed(h, src.data(), src.size(), {t});
    // t is neither finished nor discarded: the destructor drops it.
  }
}

// Keeps what a stream gives it, and fails on a byte 0xFF when asked to.
class KeepingSink : public Hasher::Sink {
 public:
  explicit KeepingSink(bool fail_on_ff = false) : fail_on_ff_(fail_on_ff) {}
  void Update(const uint8_t* data, size_t len) override {
    if (fail_on_ff_ && std::find(data, data + len, 0xFF) != data + len)
      throw std::runtime_error("sink: a byte it cannot take");
    bytes.append(reinterpret_cast<const char*>(data), len);
  }
  std::string bytes;

 private:
  bool fail_on_ff_;
};

TEST_P(HasherTest, ASinkTakesTheSameBytesInOrderAndItsFailureIsReported) {
  Hasher h(3, 4096, GetParam());
  auto sink = std::make_shared<KeepingSink>();
  Hasher::Stream digest = h.NewStream(), kept = h.NewStream(sink);
  std::vector<uint8_t> src = test::Pattern(200000, 4);
  std::string want;
  for (size_t at = 0, n = 1; at < src.size(); at += n, n = n * 2 + 1) {
    n = std::min(n, src.size() - at);
    // Buffers for both, and copies (small and through the pool) for both.
    if (n % 2) Feed(h, src.data() + at, n, {digest, kept});
    else h.SubmitCopy(src.data() + at, n, {kept, digest});
    want.append(reinterpret_cast<const char*>(src.data() + at), n);
  }
  h.Complete(kept);
  EXPECT_EQ(sink->bytes, want);
  EXPECT_EQ(ToHex(h.Finish(digest)), HexOf(want));
  EXPECT_THROW(h.Complete(kept), std::invalid_argument);  // closed

  auto failing = std::make_shared<KeepingSink>(true);
  Hasher::Stream bad = h.NewStream(failing);
  const uint8_t ff[3] = {1, 0xFF, 2};
  h.SubmitCopy("ab", 2, {bad});
  h.SubmitCopy(ff, 3, {bad});
  h.SubmitCopy("cd", 2, {bad});  // not given to a sink that failed
  EXPECT_THROW(h.Complete(bad), std::runtime_error);
  EXPECT_EQ(failing->bytes, "ab");
}

// A Ctrl-C sent to the program while its workers run reaches the thread
// that waits for it, never a worker: with SIGINT held back by this thread,
// it stays pending until this thread lets it in, and its handler runs here.
pthread_t g_interrupted_in;
volatile sig_atomic_t g_interrupts = 0;
extern "C" void NoteInterrupt(int) {
  g_interrupted_in = pthread_self();
  g_interrupts = g_interrupts + 1;
}

TEST_P(HasherTest, WorkersTakeNoInterrupt) {
  struct sigaction note = {}, before;
  note.sa_handler = NoteInterrupt;
  sigemptyset(&note.sa_mask);
  ASSERT_EQ(sigaction(SIGINT, &note, &before), 0);
  g_interrupts = 0;
  {
    // The workers start with this thread's mask as it is; it holds SIGINT
    // back only afterwards, as a prompt's wait does.
    Hasher h(2, 1 << 16, GetParam());
    sigset_t interrupt, mask;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    pthread_sigmask(SIG_BLOCK, &interrupt, &mask);
    Hasher::Stream s = h.NewStream();
    std::vector<uint8_t> src = test::Pattern(1 << 20, 3);
    kill(getpid(), SIGINT);  // to the process: any thread that takes it
    Feed(h, src.data(), src.size(), {s});
    h.Finish(s);
    EXPECT_EQ(g_interrupts, 0) << "a worker took the interrupt";
    sigset_t pending;
    sigpending(&pending);
    EXPECT_TRUE(sigismember(&pending, SIGINT));
    pthread_sigmask(SIG_SETMASK, &mask, nullptr);  // now this thread takes it
  }
  EXPECT_EQ(g_interrupts, 1);
  EXPECT_TRUE(pthread_equal(g_interrupted_in, pthread_self()));
  sigaction(SIGINT, &before, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Workers, HasherTest, ::testing::Values(1, 2));

}  // namespace
}  // namespace pvx

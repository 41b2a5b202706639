// JoinFile (built with PVX_FUZZ_SELF_JOIN=0) or SelfJoin (=1) over a piece
// set that the fuzz input describes, on the in-memory platform, with the
// properties every join must keep.
//
// The input (make_seeds.py writes the same):
//   byte 0   bits 0-1  destination: 0 "/out/" (made by the join), 1 "" (the
//                      pieces' folder), 2 "/in/" ("/in" for the self-join,
//                      which adds the separator), 3 "/out/a/b/" (the same)
//            bit 2     pause before every piece
//            bit 3     the progress window cannot be shown
//            bit 4     self-join: the stub image size is the section walk
//                      over piece 0 instead of bytes 6-7
//            bits 5-7  reads deliver at most {all, 1, 3, 100, 284, 4096,
//                      32767, 32769} bytes
//   byte 1   answers: bit i answers question i (1 = OK; later ones OK)
//   byte 2   Cancel is pressed before this check of the button (0: never)
//   byte 3   this read fails (0: none)
//   byte 4-5 disk room left in units of 256 bytes (0: unlimited)
//   byte 6-7 self-join: the stub image size
//   byte 8   number of piece records; record k is piece k: a kind byte
//            (low 2 bits: 0 file, 1 absent, 2 a folder, 3 file and filler),
//            for a file a length (2 bytes) and the bytes, for kind 3 one
//            more byte f: f * 512 filler bytes follow
//   then     a file put into the destination before the run: name length
//            (1 byte), name ('/' and NUL read as '_'), then its contents.
// Pieces are /in/set.c00, /in/set.c01, ... for JoinFile, and /in/_sSet.exe,
// /in/_sSet.c01, ... for SelfJoin.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engines/engines.h"
#include "format/piece_format.h"
#include "tests/fuzz/mem_platform.h"

using namespace pvx;
using namespace pvx::fuzz;

namespace {

constexpr bool kSelf = PVX_FUZZ_SELF_JOIN;
constexpr uint32_t kReadLimits[8] = {0, 1, 3, 100, 284, 4096, 32767, 32769};

std::string PiecePath(int k) {
  char name[32];
  if (kSelf && k == 0) return "/in/_sSet.exe";
  snprintf(name, sizeof name, "/in/%s.c%02d", kSelf ? "_sSet" : "set", k);
  return name;
}

bool StartsWith(const Bytes& whole, const Bytes& part) {
  return part.size() <= whole.size() &&
         (part.empty() || memcmp(whole.data(), part.data(), part.size()) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  MemPlatform m;
  const uint8_t options = in.U8();
  const int dest_mode = options & 3;
  const bool pause = options & 4;
  m.progress_fails = options & 8;
  const bool stub_from_walk = options & 16;
  m.max_read = kReadLimits[options >> 5];
  m.answers = 0xFFFFFF00u | in.U8();
  m.cancel_at_check = in.U8();
  m.fail_read_at = in.U8();
  const uint16_t room = in.U16();
  uint32_t stub_size = in.U16();

  static const char* const kDest[2][4] = {{"/out/", "", "/in/", "/out/a/b/"},
                                          {"/out/", "", "/in", "/out/a/b"}};
  static const char* const kDestFolder[4] = {"/out", "/in", "/in", "/out/a/b"};
  const std::string dest_folder = kDestFolder[dest_mode];

  m.PutFolder("/in");
  const int count = in.U8();
  for (int k = 0; k < count; ++k) {
    const int kind = in.U8() & 3;
    if (kind == 2) m.PutFolder(PiecePath(k));
    if (kind == 1 || kind == 2) continue;
    Bytes bytes = in.Take(in.U16());
    for (size_t i = 0, n = kind == 3 ? in.U8() * 512u : 0; i < n; ++i)
      bytes.push_back(static_cast<uint8_t>(i * 131 + k));
    m.PutFile(PiecePath(k), bytes);
  }
  if (in.left()) {
    Bytes raw = in.Take(in.U8());
    std::string name(raw.begin(), raw.end());
    for (char& c : name)
      if (c == '/' || c == 0) c = '_';
    if (!name.empty() && name != "." && name != "..")
      m.PutFile(dest_folder + "/" + name, in.Rest());
  }
  if (room) {
    m.capacity = room * uint64_t{256};
    for (const auto& f : m.files) m.capacity += f.second.size();
  }

  const auto before = m.files;
  // The pieces a join can read: piece 0 on, up to the first that is no file.
  std::vector<const Bytes*> pieces;
  for (int k = 0; before.count(PiecePath(k)); ++k)
    pieces.push_back(&before.at(PiecePath(k)));
  if (kSelf && stub_from_walk) {
    stub_size = pieces.empty() ? 0
                               : StubImageSize(pieces[0]->data(),
                                               static_cast<uint32_t>(
                                                   pieces[0]->size()));
  }

  Failure io;
  io.text[0] = 0;
  const int result =
      kSelf ? SelfJoin(m, "/in/_sSet.exe", stub_size, kDest[1][dest_mode], &io)
            : JoinFile(m, "/in/set.c00", kDest[0][dest_mode], pause, &io);
  std::string ctx = " [result " + std::to_string(result) + ", io \"" +
                    io.text + "\"";
  for (const auto& n : m.notices) ctx += ", notice \"" + n + "\"";
  ctx += "]";
  if (getenv("PVX_FUZZ_VERBOSE")) fprintf(stderr, "%s\n", ctx.c_str());

  // The data parts in order, read from the bytes alone, and where each
  // piece's part ends.
  const size_t at = kSelf ? stub_size : 0;  // where the header starts
  bool header = !pieces.empty() && pieces[0]->size() >= at + kHeaderSize &&
                memcmp(pieces[0]->data() + at, "@PARVEX ", 8) == 0;
  const uint32_t header_size = header ? Le(*pieces[0], at + 8, 2) : 0;
  const uint32_t source_size = header ? Le(*pieces[0], at + 16, 4) : 0;
  header = header && header_size >= kHeaderSize &&
           at + header_size <= pieces[0]->size();
  Bytes stream;
  std::vector<size_t> ends;
  for (size_t k = 0; header && k < pieces.size(); ++k) {
    stream.insert(stream.end(), pieces[k]->begin() + (k ? 0 : at + header_size),
                  pieces[k]->end());
    ends.push_back(stream.size());
  }

  FUZZ_CHECK(m.open_handles == 0 && !m.progress_open,
             "a file or the progress window was left open" + ctx);
  FUZZ_CHECK(m.finished == (result == kDone),
             "the closing report and the result disagree" + ctx);
  for (const auto& f : m.made)
    FUZZ_CHECK((dest_folder + "/").compare(0, f.size() + 1, f + "/") == 0,
               "made a folder outside the destination: " + f + ctx);
  for (const auto& w : m.written)
    FUZZ_CHECK(ParentOf(w) == dest_folder && header,
               "opened for writing: " + w + ctx);
  // Only the output may change, never an input piece, and it holds a prefix
  // of the data parts.
  for (const auto& f : m.files) {
    auto was = before.find(f.first);
    if (was != before.end() && was->second == f.second) continue;
    FUZZ_CHECK(!m.written.empty() && f.first == m.written.back(),
               "changed: " + f.first + ctx);
    for (int k = 0; k < static_cast<int>(pieces.size()); ++k)
      FUZZ_CHECK(f.first != PiecePath(k), "a piece was modified" + ctx);
    FUZZ_CHECK(was == before.end() || m.answered_ok,
               "replaced without asking" + ctx);
    FUZZ_CHECK(StartsWith(stream, f.second),
               "the output is not the data parts in order" + ctx);
  }
  if (result == kDone) {
    // Pieces are copied whole: the join ends where a piece's end meets
    // SourceSize, and the output is the data up to there.
    size_t last = 0;
    while (last < ends.size() && ends[last] != source_size) ++last;
    FUZZ_CHECK(last < ends.size() && !m.cancelled && !m.written.empty() &&
                   m.files.at(m.written.back()).size() == ends[last],
               "done with the wrong output" + ctx);
    FUZZ_CHECK(m.position == -1 || m.position == 65535,
               "done with the bar short of its end" + ctx);
  } else if (result == kFailed) {
    FUZZ_CHECK(!m.notices.empty() || m.answered_cancel || m.cancelled,
               "failed without telling the user" + ctx);
  } else {
    const char* colon = strstr(io.text, ": ");
    FUZZ_CHECK(result == kIoFailure && colon && colon[2] &&
                   m.files.count(Normalize(std::string(io.text, colon - io.text))),
               "an I/O failure that names no file and cause" + ctx);
  }
  return 0;
}

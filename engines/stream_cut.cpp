#include "engines/stream_cut.h"

#include "engines/cut_names.h"
#include "engines/engine_util.h"
#include "engines/engines.h"
#include "engines/messages.h"
#include "format/piece_format.h"
#include "base/text.h"
#include "platform/percent.h"

namespace pvx {
namespace {

// Piece k's name, as a cut of a file names it.
bool NamePiece(std::string* out, const std::string& base, int k,
               bool self_join) {
  char name[kPathCap];
  bool ok = CutPieceName(name, sizeof name, base.c_str(), k, self_join);
  *out = name;
  return ok;
}

class StreamCut {
 public:
  StreamCut(Platform& p, const std::string& folder, StreamCutResult* out,
            Failure* io)
      : p_(p), scope_(p), folder_(folder), out_(out), io_(io) {}
  ~StreamCut() { p_.Close(input_); }

  int Run(const std::string& name, uint32_t piece_size, bool self_join);

 private:
  // Opens piece k (committing the one before it, unless that is piece 0).
  bool OpenPiece(int k);
  // Gives piece k (not 0), the one open, its name.
  bool CommitPiece(int k);
  // The pieces that stand complete under their names, for a failure.
  void TellWritten();

  Platform& p_;
  EngineScope scope_;  // output: piece 0; piece: the piece after it
  std::string folder_;
  StreamCutResult* out_;
  Failure* io_;
  std::string base_;
  bool self_join_ = false;
  int committed_first_ = -1;  // committed pieces: first .. last
  int committed_last_ = -1;
  std::string current_;       // the name of the piece being written
  AgreedNames agreed_;        // the taken names the user agreed to replace
  FileHandle input_ = nullptr;  // standard input
};

bool StreamCut::CommitPiece(int k) {
  if (!scope_.piece) return true;  // done already
  std::string name;
  NamePiece(&name, base_, k, self_join_);
  if (!CommitNamed(p_, scope_.piece, (folder_ + name).c_str(), name.c_str(),
                   kMsgOverwrite, io_))
    return false;
  p_.Close(scope_.piece);
  scope_.piece = nullptr;
  if (committed_first_ < 0) committed_first_ = k;
  committed_last_ = k;
  return true;
}

bool StreamCut::OpenPiece(int k) {
  if (k >= 2 && !CommitPiece(k - 1)) return false;  // k - 1 is complete
  std::string name;
  if (!NamePiece(&name, base_, k, self_join_)) {
    Blame(io_, p_, kMsgPathTooLong, base_.c_str());
    return false;
  }
  const std::string path = folder_ + name;
  current_ = name;
  // Taken names were agreed to before the first piece; one that appeared
  // since is asked about when the piece takes its name (CommitNamed).
  // Pieces of a file on standard input take its permission bits.
  FileHandle f = p_.OpenWrite(path.c_str(), input_, agreed_.Has(k), io_);
  if (!f) return false;
  (k == 0 ? scope_.output : scope_.piece) = f;
  return p_.Truncate(f, io_);
}

void StreamCut::TellWritten() {
  if (committed_first_ < 0) return;
  std::string first, last;
  NamePiece(&first, base_, committed_first_, self_join_);
  NamePiece(&last, base_, committed_last_, self_join_);
  out_->first_written = folder_ + first;
  out_->last_written = folder_ + last;
}

int StreamCut::Run(const std::string& name, uint32_t piece_size,
                   bool self_join) {
  Lang lang = p_.Language();
  self_join_ = self_join;
  // The checks a cut of a file makes on its name, before anything is made.
  if (!StorableName(p_, name.c_str())) return kFailed;
  // The size is not known yet: 0 until the input ends. Whatever it turns
  // out to be, the header must carry the name: from 4 GiB on it needs the
  // record, which leaves less room for a name.
  uint8_t header[kHeaderSize];
  if (!HeaderForSource(p_, name.c_str(), uint64_t{1} << 32, header) ||
      !HeaderForSource(p_, name.c_str(), 0, header))
    return kFailed;
  PathParts parts;
  if (!SplitPath(name.c_str(), &parts)) {
    Tell(p_, kMsgPathTooLong, name.c_str());
    return kFailed;
  }
  const uint8_t* stub = nullptr;
  uint32_t stub_length = 0;
  if (!HeadForCut(p_, self_join, piece_size, &stub, &stub_length))
    return kFailed;
  const uint64_t head = uint64_t{stub_length} + kHeaderSize;
  // Every name the set may take is decided before anything is made: how
  // many pieces the stream fills is known only at its end.
  char base[kPathCap];
  if (!CutStem(p_, parts.base, self_join, base, sizeof base)) return kFailed;
  input_ = p_.OpenStandardInput(io_);
  if (!input_) return kIoFailure;
  const int limit = p_.PieceLimit();
  if (!DecideCutNames(p_, folder_.c_str(), base, sizeof base, 0, limit,
                      self_join,
                      self_join && StrCompareNoCase(parts.ext, ".exe") == 0,
                      input_, &agreed_))
    return kFailed;
  base_ = base;
  if (!folder_.empty()) CreateFolderChain(p_, folder_.c_str());
  if (!scope_.ShowProgress()) return kFailed;

  char text[kPathCap + 64];
  char kb[32];
  const uint32_t chunk = p_.ChunkSize();
  uint8_t* buffer = p_.ChunkBuffer();
  uint64_t total = 0;    // source bytes that arrived
  uint64_t in_piece = 0; // bytes in the piece being written
  int k = -1;            // the piece being written
  for (;;) {
    uint32_t got = 0;
    if (!p_.ReadStream(input_, buffer, chunk, &got, io_)) {
      TellWritten();
      return kIoFailure;
    }
    if (p_.ProgressCheckCancel()) {
      TellWritten();
      return kFailed;
    }
    if (got == 0) break;
    total += got;
    const uint8_t* data = buffer;
    while (got != 0) {
      if (k < 0 || in_piece == piece_size) {
        ++k;
        if (k >= limit) {
          Tell(p_, kMsgTooManyPiecesOf, limit);
          TellWritten();
          return kFailed;
        }
        if (!OpenPiece(k)) {
          TellWritten();
          return kIoFailure;
        }
        FileHandle f = k == 0 ? scope_.output : scope_.piece;
        if (!p_.Reserve(f, piece_size, io_)) {
          TellWritten();
          return kIoFailure;
        }
        KilobyteText(piece_size, kb, sizeof kb);
        Format(text, sizeof text, Text(lang, kMsgSizeCaption), current_.c_str(),
               kb);
        p_.ProgressLabel(text);
        in_piece = 0;
        if (k == 0) {
          if ((self_join && !p_.Write(f, stub, stub_length, io_)) ||
              !p_.Write(f, header, kHeaderSize, io_)) {
            TellWritten();
            return kIoFailure;
          }
          in_piece = head;
        }
      }
      uint64_t room = piece_size - in_piece;
      uint32_t n = got < room ? got : static_cast<uint32_t>(room);
      if (!p_.Write(k == 0 ? scope_.output : scope_.piece, data, n, io_)) {
        TellWritten();
        return kIoFailure;
      }
      data += n;
      got -= n;
      in_piece += n;
      // A full piece after piece 0 takes its name at once, unless the
      // input may still turn out too short to be cut at all.
      if (k >= 1 && in_piece == piece_size && total > piece_size &&
          !CommitPiece(k)) {
        TellWritten();
        return kIoFailure;
      }
    }
    KilobyteText(total, kb, sizeof kb);
    Format(text, sizeof text, Text(lang, kMsgSizeCaption), name.c_str(), kb);
    p_.ProgressCaption(text);
    p_.ProgressPos(static_cast<int>(in_piece * kRangeHigh / piece_size));
  }

  KilobyteText(total, kb, sizeof kb);
  if (total <= piece_size) {
    // A file this long is not cut: nothing stays.
    for (FileHandle f : {scope_.output, scope_.piece})
      if (f) p_.Truncate(f, io_);
    Tell(p_, kMsgNoNeedToSplit, name.c_str(), kb);
    return kFailed;
  }
  // Piece 0 gets its size, then the last piece and piece 0 their names.
  std::string piece0;
  NamePiece(&piece0, base_, 0, self_join_);
  if (!HeaderForSource(p_, name.c_str(), total, header)) {
    TellWritten();
    return kFailed;
  }
  if (!p_.Seek(scope_.output, stub_length, io_) ||
      !p_.Write(scope_.output, header, kHeaderSize, io_) ||
      !CommitPiece(k) ||
      !CommitNamed(p_, scope_.output, (folder_ + piece0).c_str(),
                   piece0.c_str(), kMsgOverwrite, io_)) {
    TellWritten();
    return kIoFailure;
  }
  Format(text, sizeof text, Text(lang, kMsgCutDone), name.c_str(), k + 1);
  FinishAndWait(p_, text, true);
  return kDone;
}

}  // namespace

StreamCutResult CutStream(Platform& p, const std::string& name,
                          uint32_t piece_size, const std::string& folder,
                          bool self_join, Failure* io) {
  io->text[0] = 0;
  StreamCutResult out;
  StreamCut cut(p, folder, &out, io);
  out.result = cut.Run(name, piece_size, self_join);
  return out;
}

}  // namespace pvx

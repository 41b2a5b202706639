// parvex cut: a file, or standard input, into a piece set, with its
// checksum list and, on request, recovery data beside it.
#include <stdio.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "base/path.h"
#include "base/text.h"
#include "cli/builtin_stub.h"
#include "cli/commands.h"
#include "cli/sizes.h"
#include "engines/cut_plan.h"
#include "engines/stream_cut.h"
#include "format/piece_format.h"
#include "integrity/checksums.h"
#include "integrity/recovery.h"

namespace pvx {
namespace {

// The bytes in front of piece 0's data: the header, and the stub program
// with -x (which is also handed to the platform here).
uint32_t PieceZeroHead(CliPlatform& p, bool self_join) {
  const uint8_t* stub = nullptr;
  uint32_t stub_length = 0;
  uint32_t head = kHeaderSize;
  if (BuiltInStub(&stub, &stub_length)) {
    p.SetStubImage(stub, stub_length);
    if (self_join) head += StubImageSize(stub, stub_length);
  }
  return head;
}

// The piece size for --pieces N over the file: 0 after telling why there
// is none (*status set).
uint32_t SizeForPieces(CliPlatform& p, const Options& o, uint32_t head,
                       int* status) {
  Lang lang = p.Language();
  uint32_t n = 0;
  const uint32_t limit = static_cast<uint32_t>(p.PieceLimit());
  if (!ParsePieceCount(o.pieces, &n) || n < 2 || n > limit) {
    const std::string most = std::to_string(limit);
    *status = UsageError(
        p,
        Tr(lang, "invalid number of pieces: '") +
            o.pieces +
            Tr(lang, "'; N is a whole number from 2 to ") +
            most +
            Tr(lang, " (a set holds at most ") +
            most + Tr(lang, " pieces)"),
        "cut");
    return 0;
  }
  uint64_t length = 0;
  // Not a file to measure: the cut itself says why.
  if (!p.RegularFileSize(o.file.c_str(), &length)) return kSize144;
  uint32_t size = PieceSizeFor(length, head, n);
  if (size == 0) {
    std::string text =
        o.file + ": " +
        TrF(lang, "no piece size cuts %s into %s (piece 0 holds its head of %s)",
            Count(lang, length, "byte", "bytes").c_str(),
            Count(lang, n, "piece", "pieces").c_str(),
            Count(lang, head, "byte", "bytes").c_str());
    p.Notify(text.c_str());
    *status = kExitFailed;
  }
  return size;
}

// A set holds at most PieceLimit pieces (10,000): a cut that would need
// more is refused before it writes anything. True when the cut may go on.
bool FitsInOneSet(CliPlatform& p, const std::string& file,
                  uint32_t piece_size, uint32_t head) {
  uint64_t length = 0;
  const uint64_t limit = static_cast<uint64_t>(p.PieceLimit());
  if (!p.RegularFileSize(file.c_str(), &length)) return true;
  const SetFit fit = FitInOneSet(length, piece_size, head, limit);
  if (fit.fits) return true;
  char text[512];
  if (fit.smallest > UINT32_MAX) {
    // Even pieces of 4 GiB less a byte make too many.
    snprintf(text, sizeof text,
             Tr(p.Language(), "%s: %llu bytes need more than the %llu pieces a set can "
                 "hold, even of the largest piece size (4294967295 bytes)"),
             file.c_str(), static_cast<unsigned long long>(length),
             static_cast<unsigned long long>(limit));
  } else {
    snprintf(text, sizeof text,
             Tr(p.Language(), "%s: pieces of %u bytes would make %llu "
                 "pieces, more than the %llu a set can hold; the "
                 "smallest piece size that fits is %llu bytes (-s %llu)"),
             file.c_str(), piece_size,
             static_cast<unsigned long long>(fit.pieces),
             static_cast<unsigned long long>(limit),
             static_cast<unsigned long long>(fit.smallest),
             static_cast<unsigned long long>(fit.smallest));
  }
  p.Notify(text);
  return false;
}

// The number of recovery slices --recovery asks for: 0 after telling why
// there is none (*status set).
uint32_t RecoverySlices(CliPlatform& p, const Options& o, uint32_t piece_size,
                        uint32_t head, int* status) {
  Lang lang = p.Language();
  const bool share = o.recovery.back() == '%';
  if (o.file == "-" && share) {
    *status = UsageError(
        p,
        // xgettext:no-c-format
        Tr(lang, "--recovery N% needs the number of pieces, which standard input "
            "does not tell up front (give a number: --recovery N)"),
        "cut");
    return 0;
  }
  if (o.pause) {
    *status = UsageError(
        p,
        Tr(lang, "--recovery reads every piece again after the cut, which "
            "--pause (a disk per piece) does not allow"),
        "cut");
    return 0;
  }
  uint32_t pieces = 1;
  uint64_t length = 0;
  if (share && p.RegularFileSize(o.file.c_str(), &length)) {
    uint64_t n = PiecesOfCut(length, piece_size, head);
    pieces = n < 1 ? 1 : n > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(n);
  }
  uint32_t slices = 0;
  std::string ignored;
  if (par2::ParseRecoveryAmount(o.recovery, pieces, &slices, &ignored))
    return slices;
  // "N" / "N%" that is no amount of recovery slices.
  *status = UsageError(
      p,
      Tr(lang, "invalid amount of recovery data: '") + o.recovery +
          Tr(lang, "'; N is a number of recovery slices (one rebuilds one "
                   "piece) from 1 to 65535, N% a share of the pieces from 1% "
                   "to 100%"),
      "cut");
  return 0;
}

}  // namespace

int RunCut(Parvex& x, const Options& o) {
  CliPlatform& p = x.terminal;
  Lang lang = p.Language();
  const bool from_stdin = o.file == "-";
  if (from_stdin && o.name.empty()) {
    return UsageError(p,
                      Tr(lang, "cutting standard input needs --name NAME, the "
                          "name to record for it"),
                      "cut");
  }
  if (from_stdin && o.pause) {
    return UsageError(p,
                      Tr(lang, "--pause waits for Enter on standard input, which "
                          "carries the data when cutting standard input"),
                      "cut");
  }
  if (from_stdin && o.pieces_given) {
    return UsageError(p,
                      Tr(lang, "--pieces needs the length of a file; standard "
                          "input has none up front (use -s SIZE)"),
                      "cut");
  }

  const uint32_t head = PieceZeroHead(p, o.self_join);
  uint32_t piece_size = 0;
  if (o.pieces_given) {
    int status = kExitFailed;
    piece_size = SizeForPieces(p, o, head, &status);
    if (piece_size == 0) return status;
  } else {
    SizeError error = ParseSize(o.size, &piece_size);
    if (error != SizeError::kNone)
      return UsageError(p, SizeErrorText(lang, error, o.size), "cut");
  }
  if (piece_size < head) {
    return UsageError(
        p,
        Tr(lang, "A piece size of ") +
            Count(lang, piece_size, "byte", "bytes") +
            Tr(lang, " cannot hold the ") +
            Count(lang, head, "byte", "bytes") +
            Tr(lang, " that head piece 0."),
        "cut");
  }

  uint32_t recovery_slices = 0;
  if (!o.recovery.empty()) {
    int status = kExitDone;
    recovery_slices = RecoverySlices(p, o, piece_size, head, &status);
    if (recovery_slices == 0) return status;
  }

  if (!from_stdin && !FitsInOneSet(p, o.file, piece_size, head))
    return kExitFailed;

  CatchEndingSignals();
  // The list and the recovery files are among the set's names: the engines
  // decide them (and ask about them) with the pieces', before anything is
  // written. The list's digests are taken in the same pass as the copy,
  // and so are the pieces' PAR2 checksums (started first: they want the
  // hasher's larger pool); the recovery step then reads the pieces only
  // for the recovery slices.
  std::string companions;
  if (recovery_slices != 0) {
    x.platform.StartPar2Checksums([](FileHandle f, par2::FileStamp* stamp) {
      struct stat st;
      if (!PosixPlatform::StatOf(f, &st) || !S_ISREG(st.st_mode)) return false;
      *stamp = par2::StampOf(st);
      return true;
    });
  }
  if (!o.no_checksum) {
    companions = kListSuffix;
    companions.push_back('\0');
    x.platform.StartDigests();
  }
  if (recovery_slices != 0) companions += RecoverySuffixes(recovery_slices);
  if (!companions.empty()) {
    companions.pop_back();  // SetCompanions closes the list itself
    p.SetCompanions(companions);
  }
  Failure io;
  int result;
  if (from_stdin) {
    p.SetInputIsData();
    StreamCutResult cut = CutStream(x.platform, o.name, piece_size,
                                    WithSeparator(o.destination), o.self_join,
                                    &io);
    result = cut.result;
    if (!cut.first_written.empty()) {
      std::string text = Tr(lang, "pieces written so far: ") + cut.first_written;
      if (cut.last_written != cut.first_written)
        text += " .. " + cut.last_written;
      p.Notify(text.c_str());
    }
  } else {
    result = CutFile(x.platform, piece_size, o.file.c_str(),
                     WithSeparator(o.destination).c_str(), o.self_join,
                     o.pause, &io, o.name.empty() ? nullptr : o.name.c_str());
  }
  // Every file put in place so far is a piece.
  const std::vector<std::string> pieces = CutPiecesInOrder(p.TakeCommitted());
  if (result == kDone && !o.no_checksum) {
    const std::string source_name =
        !o.name.empty() ? o.name : NameOf(o.file.c_str());
    const CutList list = WriteCutList(
        x.platform, pieces, source_name, o.file,
        !pieces.empty() && p.Agreed(ListPathFor(pieces.front()).c_str()));
    if (list.outcome == CutList::kNoDigests)
      p.Notify(Tr(lang, "parvex: no digests were taken; no checksum list written"));
    else if (list.outcome == CutList::kIsSource)
      NotifyText(p, kMsgIsInput, list.path.c_str());
    else if (list.outcome == CutList::kFailed)
      p.Notify(list.why.text);
    if (list.outcome != CutList::kWritten) result = kFailed;
  }
  if (result == kDone && recovery_slices != 0) {
    const par2::CreateResult r = WriteRecovery(
        x.platform, pieces, recovery_slices,
        [&p](const std::string& path) { return p.Agreed(path.c_str()); },
        Tr(lang, "Recovery data"), x.platform.TakePar2Checksums());
    if (!r.ok) {
      p.Notify(p.Cancelled()
                   ? Tr(lang, "recovery data: cancelled; none was written")
                   : (Tr(lang, "recovery data not written: ") + r.error)
                         .c_str());
      result = kFailed;
    }
  }
  return ExitStatus(p, result, io);
}

}  // namespace pvx

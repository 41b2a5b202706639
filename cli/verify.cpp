// parvex verify and parvex repair: every piece of a set checked against its
// checksum list or its recovery data, and rebuilt from the latter.
#include <string>

#include "base/path.h"
#include "cli/commands.h"
#include "integrity/list_verify.h"
#include "integrity/recovery.h"

namespace pvx {
namespace {

const char* VerdictText(Lang lang, const VerifyLine& line) {
  switch (line.verdict) {
    case VerifyLine::kOk: return "ok";
    case VerifyLine::kMissing: return Tr(lang, "missing");
    case VerifyLine::kShort: return Tr(lang, "short");
    case VerifyLine::kSurplus: return Tr(lang, "surplus");
    case VerifyLine::kBeside:
      return Tr(lang, "surplus (beside the set, not part of it)");
    case VerifyLine::kNotListed: return Tr(lang, "not listed");
    case VerifyLine::kDamaged: return Tr(lang, "damaged");
    case VerifyLine::kUnusable:
    case VerifyLine::kUnreadable: break;
  }
  return line.detail.c_str();
}

// `parvex verify FILE` against the set's checksum list (or the one named):
// each piece, then a verdict.
int VerifyWithList(Parvex& x, const Options& o) {
  CliPlatform& p = x.terminal;
  const Lang lang = p.Language();
  SetSurvey s;
  Failure why;
  if (!SurveySet(x.platform, o.file.c_str(), &s, &why)) {
    p.Notify(why.text);
    return kExitFailed;
  }
  if (!s.HeaderSound()) {
    p.Notify(s.problem.c_str());
    return kExitFailed;
  }
  const SetList list = FindSetList(x.platform, s, o.checksum);
  if (!list.problem.empty()) {
    std::string text = "parvex: " + list.problem +
                       Tr(lang, "; nothing was checked");
    p.Notify(text.c_str());
    return kExitFailed;
  }
  if (!o.quiet) {
    p.ProgressCreate();
    std::string caption = Tr(lang, "verify ") + s.set.piece0;
    p.ProgressCaption(caption.c_str());
  }
  const SetVerification v =
      VerifyAgainstList(x.platform, s, list, [lang](const VerifyLine& line) {
        PrintSafe("  %-24s %s\n", line.name.c_str(), VerdictText(lang, line));
      });
  p.ProgressDestroy();
  if (v.cancelled) return kExitCancelled;
  const size_t n = s.pieces.size();
  if (!list.found) {
    PrintSafe(Tr(lang, "%s: no checksum list found (%s); the header and the lengths "
                  "%s\n"),
              NameOf(s.set.piece0.c_str()), list.path.c_str(),
              v.Passed() ? Tr(lang, "are sound.")
                         : Tr(lang, "do not add up."));
  } else if (v.Passed()) {
    PrintSafe(TrN(lang, "verified: %zu piece%s match %s\n",
                  "verified: %zu pieces%s match %s\n", n),
              n,
              v.source_checked ? Tr(lang, " and the joined file")
                               : "",
              list.path.c_str());
  } else {
    PrintSafe(Tr(lang, "FAILED: %d of the checks above failed; see %s\n"),
              v.bad == 0 ? 1 : v.bad, list.path.c_str());
  }
  return v.Passed() ? kExitDone : kExitFailed;
}

const char* StateText(Lang lang, par2::PieceState s) {
  switch (s) {
    case par2::PieceState::kGood: return Tr(lang, "good");
    case par2::PieceState::kMissing: return TrC(lang, "piece state", "missing");
    case par2::PieceState::kShort: return TrC(lang, "piece state", "short");
    case par2::PieceState::kDamaged: return TrC(lang, "piece state", "damaged");
    case par2::PieceState::kNotAFile:
    default: return Tr(lang, "unreadable");
  }
}

// The pieces that are not good (all of them with good_too), by name, one
// line each on standard output; returns how many are not good.
size_t PrintPieces(Lang lang, const par2::VerifyReport& report,
                   bool good_too) {
  size_t bad = 0;
  for (const par2::PieceReport* piece : PiecesByName(report)) {
    if (piece->state != par2::PieceState::kGood) ++bad;
    else if (!good_too) continue;
    std::string line = piece->name + ": " + StateText(lang, piece->state);
    if (!piece->detail.empty()) line += " (" + piece->detail + ")";
    PrintSafe("%s\n", line.c_str());
  }
  return bad;
}

// `parvex verify FILE` with recovery data at index: each piece, then
// whether the recovery data can rebuild what is wrong.
int VerifyRecovery(Parvex& x, const std::string& index) {
  CliPlatform& p = x.terminal;
  const Lang lang = p.Language();
  const par2::VerifyReport report =
      VerifyWithRecovery(x.platform, index, Tr(lang, "Verify"));
  if (!report.ok) {
    if (p.Cancelled()) {
      p.Notify(Tr(lang, "verify cancelled"));
      return kExitCancelled;
    }
    std::string text = Tr(lang, "cannot verify: ") +
                       report.error;
    p.Notify(text.c_str());
    return kExitFailed;
  }
  for (const std::string& note : report.set.notes) p.Notify(note.c_str());
  const size_t bad = PrintPieces(lang, report, true);
  if (report.all_good) {
    std::string line =
        TrF(lang, "all %s good",
            Count(lang, report.pieces.size(), "piece is", "pieces are").c_str());
    PrintSafe("%s\n", line.c_str());
    return kExitDone;
  }
  std::string line =
      Count(lang, bad, "piece damaged or missing", "pieces damaged or missing");
  if (report.repairable) {
    line += Tr(lang, "; the recovery data can rebuild up to ") +
            (OneSlicePerPiece(report)
                 ? Count(lang, report.recovery_slices, "piece", "pieces")
                 : Count(lang, report.recovery_slices, "slice", "slices")) +
            Tr(lang, ": run parvex repair");
  } else {
    line += Tr(lang, "; the recovery data cannot rebuild them (") +
            Count(lang, report.bad_slices, "slice", "slices") +
            Tr(lang, " needed, ") +
            std::to_string(report.recovery_slices) +
            Tr(lang, " at hand)");
  }
  PrintSafe("%s\n", line.c_str());
  return kExitFailed;
}

}  // namespace

int RunVerify(Parvex& x, const Options& o) {
  CatchEndingSignals();
  // Recovery data beside the set checks every piece as the list would, and
  // tells whether what is wrong can be rebuilt; a list named on the command
  // line is what the user asked for.
  if (o.checksum.empty()) {
    const std::string index = FindRecoveryIndex(x.platform, o.file);
    if (!index.empty()) return Flushed(x.terminal, VerifyRecovery(x, index));
  }
  return Flushed(x.terminal, VerifyWithList(x, o));
}

int RunRepair(Parvex& x, const Options& o) {
  CliPlatform& p = x.terminal;
  const Lang lang = p.Language();
  CatchEndingSignals();
  const RepairRun run = RepairPieces(x.platform, o.file, o.destination,
                                     Tr(lang, "Repair"));
  if (run.outcome != RepairRun::kRan) {
    std::string text =
        run.outcome == RepairRun::kNoFolder
            ? run.why
            : o.file + Tr(lang, ": no recovery data (STEM.par2 or "
                           "STEM.vol*.par2) beside the set");
    p.Notify(text.c_str());
    return kExitFailed;
  }
  const par2::RepairResult& r = run.result;
  PrintPieces(lang, r.before, false);
  for (const std::string& path : r.rebuilt) {
    std::string line = Tr(lang, "rebuilt ") + path;
    PrintSafe("%s\n", line.c_str());
  }
  for (const std::string& path : r.kept_bad) {
    std::string line =
        Tr(lang, "the damaged piece is kept as ") + path;
    PrintSafe("%s\n", line.c_str());
  }
  int status = kExitDone;
  if (!r.ok && p.Cancelled()) {
    p.Notify(Tr(lang, "repair cancelled"));
    status = kExitCancelled;
  } else if (!r.ok) {
    std::string text = Tr(lang, "cannot repair: ") +
                       r.error;
    p.Notify(text.c_str());
    status = kExitFailed;
  } else {
    PrintSafe("%s\n", r.rebuilt.empty()
                          ? Tr(lang, "every piece is good; nothing to repair")
                          : Tr(lang, "every piece matches now"));
  }
  return Flushed(p, status);
}

}  // namespace pvx

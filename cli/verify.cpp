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
    case VerifyLine::kMissing: return Say(lang, "missing", "見つかりません");
    case VerifyLine::kShort: return Say(lang, "short", "短すぎます");
    case VerifyLine::kSurplus: return Say(lang, "surplus", "余分があります");
    case VerifyLine::kBeside:
      return Say(lang, "surplus (beside the set, not part of it)",
                 "余分 (このセットの外のファイルです)");
    case VerifyLine::kNotListed: return Say(lang, "not listed", "一覧にありません");
    case VerifyLine::kDamaged: return Say(lang, "damaged", "壊れています");
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
                       Say(lang, "; nothing was checked", ". 何も検査していません");
    p.Notify(text.c_str());
    return kExitFailed;
  }
  if (!o.quiet) {
    p.ProgressCreate();
    std::string caption = Say(lang, "verify ", "検査 ") + s.set.piece0;
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
    PrintSafe(Say(lang,
                  "%s: no checksum list found (%s); the header and the lengths "
                  "%s\n",
                  "%s: チェックサムの一覧がありません (%s). ヘッダと長さは%s\n"),
              NameOf(s.set.piece0.c_str()), list.path.c_str(),
              v.Passed() ? Say(lang, "are sound.", "正しいです.")
                         : Say(lang, "do not add up.", "合いません."));
  } else if (v.Passed()) {
    PrintSafe(Say(lang, "verified: %zu %s%s match %s\n",
                  "検査済み: %zu 個のファイル%s%s が %s と一致します\n"),
              n, Say(lang, n == 1 ? "piece" : "pieces", ""),
              v.source_checked ? Say(lang, " and the joined file", " と結合結果")
                               : "",
              list.path.c_str());
  } else {
    PrintSafe(Say(lang, "FAILED: %d of the checks above failed; see %s\n",
                  "失敗: 上の検査のうち %d 件が失敗しました (%s)\n"),
              v.bad == 0 ? 1 : v.bad, list.path.c_str());
  }
  return v.Passed() ? kExitDone : kExitFailed;
}

const char* StateText(Lang lang, par2::PieceState s) {
  switch (s) {
    case par2::PieceState::kGood: return Say(lang, "good", "正常");
    case par2::PieceState::kMissing: return Say(lang, "missing", "なし");
    case par2::PieceState::kShort: return Say(lang, "short", "短い");
    case par2::PieceState::kDamaged: return Say(lang, "damaged", "破損");
    case par2::PieceState::kNotAFile:
    default: return Say(lang, "unreadable", "読めない");
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
      VerifyWithRecovery(x.platform, index, Say(lang, "Verify", "検査"));
  if (!report.ok) {
    if (p.Cancelled()) {
      p.Notify(Say(lang, "verify cancelled", "検査を中止しました"));
      return kExitCancelled;
    }
    std::string text = Say(lang, "cannot verify: ", "検査できません: ") +
                       report.error;
    p.Notify(text.c_str());
    return kExitFailed;
  }
  for (const std::string& note : report.set.notes) p.Notify(note.c_str());
  const size_t bad = PrintPieces(lang, report, true);
  if (report.all_good) {
    std::string line =
        Say(lang, "all ", "") +
        Count(lang, report.pieces.size(), "piece is", "pieces are",
              "個の分割ファイルがすべて") +
        Say(lang, " good", "正常です");
    PrintSafe("%s\n", line.c_str());
    return kExitDone;
  }
  std::string line =
      Count(lang, bad, "piece damaged or missing", "pieces damaged or missing",
            "個の分割ファイルが破損または欠落");
  if (report.repairable) {
    line += Say(lang, "; the recovery data can rebuild up to ",
                ". リカバリデータは ") +
            (OneSlicePerPiece(report)
                 ? Count(lang, report.recovery_slices, "piece", "pieces",
                         "個の分割ファイル")
                 : Count(lang, report.recovery_slices, "slice", "slices",
                         "個のブロック")) +
            Say(lang, ": run parvex repair",
                "まで復元できます: parvex repair を実行してください");
  } else {
    line += Say(lang, "; the recovery data cannot rebuild them (",
                ". リカバリデータでは復元できません (") +
            Count(lang, report.bad_slices, "slice", "slices", "個のブロック") +
            Say(lang, " needed, ", "が必要で, あるのは ") +
            std::to_string(report.recovery_slices) +
            Say(lang, " at hand)", " 個)");
  }
  PrintSafe("%s\n", line.c_str());
  return kExitFailed;
}

}  // namespace

int RunVerify(Parvex& x, const Options& o) {
  CliPlatform::CatchInterrupt();
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
  CliPlatform::CatchInterrupt();
  const RepairRun run = RepairPieces(x.platform, o.file, o.destination,
                                     Say(lang, "Repair", "修復"));
  if (run.outcome != RepairRun::kRan) {
    std::string text =
        run.outcome == RepairRun::kNoFolder
            ? run.why
            : o.file + Say(lang,
                           ": no recovery data (STEM.par2 or "
                           "STEM.vol*.par2) beside the set",
                           ": 分割ファイルの隣にリカバリデータ "
                           "(STEM.par2 または STEM.vol*.par2) が"
                           "ありません");
    p.Notify(text.c_str());
    return kExitFailed;
  }
  const par2::RepairResult& r = run.result;
  PrintPieces(lang, r.before, false);
  for (const std::string& path : r.rebuilt) {
    std::string line = Say(lang, "rebuilt ", "復元しました: ") + path;
    PrintSafe("%s\n", line.c_str());
  }
  for (const std::string& path : r.kept_bad) {
    std::string line =
        Say(lang, "the damaged piece is kept as ",
            "破損した分割ファイルを次の名前で残しました: ") + path;
    PrintSafe("%s\n", line.c_str());
  }
  int status = kExitDone;
  if (!r.ok && p.Cancelled()) {
    p.Notify(Say(lang, "repair cancelled", "修復を中止しました"));
    status = kExitCancelled;
  } else if (!r.ok) {
    std::string text = Say(lang, "cannot repair: ", "修復できません: ") +
                       r.error;
    p.Notify(text.c_str());
    status = kExitFailed;
  } else {
    PrintSafe("%s\n", r.rebuilt.empty()
                          ? Say(lang, "every piece is good; nothing to repair",
                                "すべての分割ファイルが正常です. 修復は不要です")
                          : Say(lang, "every piece matches now",
                                "すべての分割ファイルが一致しました"));
  }
  return Flushed(p, status);
}

}  // namespace pvx

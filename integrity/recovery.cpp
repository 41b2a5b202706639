#include "integrity/recovery.h"

#include <errno.h>
#include <string.h>

#include <algorithm>
#include <memory>

#include "base/text.h"
#include "engines/engine_util.h"
#include "engines/messages.h"
#include "engines/piece_set.h"
#include "integrity/par2_io.h"

namespace pvx {
namespace {

bool EndsWith(const std::string& s, const char* tail) {
  size_t n = strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

bool IsRegular(const std::string& path) { return par2::Probe(path) == 1; }

// The window of a pass: caption, the index as its label, at 0.
void ShowPass(Platform& p, const char* caption, const std::string& index) {
  p.ProgressCreate();
  p.ProgressCaption(caption);
  p.ProgressLabel(index.c_str());
  p.ProgressPos(0);
}

}  // namespace

std::string RecoverySuffixes(uint32_t slices) {
  // The names hang off any stem the same way: take them off a stem of one
  // character.
  std::string suffixes;
  for (const std::string& name : par2::OutputNames("x.par2", slices)) {
    suffixes += name.substr(1);
    suffixes.push_back('\0');
  }
  return suffixes;
}

std::string RecoveryIndexFor(const std::string& piece0_path) {
  size_t slash = piece0_path.rfind('/');
  size_t start = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = piece0_path.rfind('.');
  if (dot == std::string::npos || dot <= start) return piece0_path + ".par2";
  return piece0_path.substr(0, dot) + ".par2";
}

std::string FindRecoveryIndex(Platform& p, const std::string& file) {
  if (EndsWith(file, ".par2")) return IsRegular(file) ? file : std::string();
  SetLocation set;
  if (!LocateSet(p, file.c_str(), &set)) return std::string();
  const std::string index = RecoveryIndexFor(set.piece0);
  if (IsRegular(index)) return index;
  // The index may be lost with the pieces: any recovery file of the set
  // holds a copy of its packets.
  for (const std::string& path : par2::SetFilesBeside(index))
    if (IsRegular(path)) return path;
  return std::string();
}

par2::Progress PlatformProgress(Platform& p) {
  par2::Progress progress;
  progress.report = [&p](uint64_t done, uint64_t total) {
    p.ProgressPos(ProgressPosition(done, total));
  };
  // A press is reported once; the pass may ask again on its way out.
  auto pressed = std::make_shared<bool>(false);
  progress.cancelled = [&p, pressed] {
    return *pressed || (*pressed = p.ProgressCheckCancel());
  };
  return progress;
}

par2::CreateResult WriteRecovery(
    Platform& p, const std::vector<std::string>& pieces, uint32_t slices,
    const std::function<bool(const std::string&)>& agreed,
    const char* caption, std::vector<par2::TakenChecksums> known) {
  par2::CreateOptions options;
  options.pieces = pieces;
  options.index = RecoveryIndexFor(pieces.front());
  options.recovery_slices = slices;
  options.known = std::move(known);
  options.confirm_replace = [&agreed](const std::vector<std::string>& existing) {
    for (const std::string& path : existing)
      if (!agreed(path)) return false;
    return true;
  };
  ShowPass(p, caption, options.index);
  options.progress = PlatformProgress(p);
  par2::CreateResult r = par2::CreateRecovery(options);
  p.ProgressDestroy();
  return r;
}

RepairRun RepairPieces(Platform& p, const std::string& file,
                       const std::string& output_dir, const char* caption) {
  RepairRun run;
  run.index = FindRecoveryIndex(p, file);
  if (run.index.empty()) return run;
  // Every missing level; the last one is made again when that failed, for
  // the cause.
  if (!output_dir.empty() && !CreateFolderChain(p, output_dir.c_str()) &&
      !p.Exists(output_dir.c_str()) && !p.MakeFolder(output_dir.c_str())) {
    run.outcome = RepairRun::kNoFolder;
    run.why = output_dir + ": " + strerror(errno);
    return run;
  }
  run.outcome = RepairRun::kRan;
  par2::RepairOptions options;
  options.output_dir = output_dir;
  // Each file a repair would replace is asked about.
  options.confirm_replace = [&p](const std::vector<std::string>& existing) {
    for (const std::string& path : existing)
      if (!AskReplace(p, path.c_str(), kMsgOverwrite, NameOf(path.c_str(), '/')))
        return false;
    return true;
  };
  ShowPass(p, caption, run.index);
  options.progress = PlatformProgress(p);
  run.result = par2::RepairSet(run.index, options);
  p.ProgressDestroy();
  return run;
}

par2::VerifyReport VerifyWithRecovery(Platform& p, const std::string& index,
                                      const char* caption) {
  par2::VerifyOptions options;
  ShowPass(p, caption, index);
  options.progress = PlatformProgress(p);
  par2::VerifyReport report = par2::VerifySet(index, options);
  p.ProgressDestroy();
  return report;
}

std::vector<const par2::PieceReport*> PiecesByName(
    const par2::VerifyReport& report) {
  std::vector<const par2::PieceReport*> sorted;
  for (const par2::PieceReport& piece : report.pieces) sorted.push_back(&piece);
  // The names share one stem: a longer number is a larger one.
  std::sort(sorted.begin(), sorted.end(),
            [](const par2::PieceReport* a, const par2::PieceReport* b) {
              if (a->name.size() != b->name.size())
                return a->name.size() < b->name.size();
              return a->name < b->name;
            });
  return sorted;
}

bool OneSlicePerPiece(const par2::VerifyReport& report) {
  for (const par2::SetFile& f : report.set.files)
    if (f.slice_count > 1) return false;
  return true;
}

std::vector<std::string> RemoveRebuilt(const RebuiltSet& set) {
  std::vector<std::string> failures;
  if (set.folder.empty()) return failures;
  std::string why;
  for (const std::string& name : set.names)
    if (!par2::RemoveFile(set.folder + name, &why)) failures.push_back(why);
  if (failures.empty() &&
      !par2::RemoveFolder(set.folder.substr(0, set.folder.size() - 1), &why))
    failures.push_back(why);
  return failures;
}

Rebuild RebuildForJoin(Platform& p, const std::string& index,
                       const std::string& folder, const char* caption) {
  Rebuild out;
  std::string temp;
  if (!par2::MakeTempFolder((folder.empty() ? std::string("./") : folder) +
                                ".parvex-rebuilt-XXXXXX",
                            &temp, &out.detail))
    return out;
  out.set.folder = temp + "/";

  par2::RepairOptions options;
  options.output_dir = temp;
  // The folder is new and ours: nothing in it to replace.
  options.confirm_replace = [](const std::vector<std::string>&) {
    return false;
  };
  ShowPass(p, caption, index);
  options.progress = PlatformProgress(p);
  par2::RepairResult r = par2::RepairSet(index, options);
  p.ProgressDestroy();
  for (const std::string& path : r.rebuilt) {
    const std::string name = NameOf(path.c_str(), '/');
    out.set.names.push_back(name);
    out.set.rebuilt.push_back(name);
  }
  auto give_up = [&](Rebuild::Outcome outcome, const std::string& detail) {
    out.outcome = outcome;
    out.detail = detail;
    out.cleanup = RemoveRebuilt(out.set);
    out.set.folder.clear();
    return out;
  };
  if (!r.ok) return give_up(Rebuild::kNotRebuilt, r.error);
  for (const par2::PieceReport& piece : r.before.pieces) {
    if (piece.state != par2::PieceState::kGood) continue;
    if (piece.name.find('/') != std::string::npos)
      return give_up(Rebuild::kNotAPiece, piece.name);
    std::string why;
    if (!par2::LinkToFile(piece.path, out.set.folder + piece.name, &why))
      return give_up(Rebuild::kNoLink, why);
    out.set.names.push_back(piece.name);
  }
  out.outcome = Rebuild::kRebuilt;
  return out;
}

}  // namespace pvx

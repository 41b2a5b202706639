#include "cli/recovery.h"

#include <dirent.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "base/text.h"
#include "engines/engine_util.h"
#include "engines/messages.h"
#include "engines/own_texts.h"
#include "engines/piece_set.h"
#include "format/piece_format.h"
#include "integrity/par2_create.h"
#include "integrity/par2_repair.h"

namespace pvx {

namespace {

std::string StemPath(const std::string& path) {
  size_t slash = path.rfind('/');
  size_t start = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot <= start) return path;
  return path.substr(0, dot);
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
  return StemPath(piece0_path) + ".par2";
}

bool RecoveryAmount(Lang lang, const std::string& text, uint32_t pieces,
                    uint32_t* slices, std::string* error) {
  std::string ignored;
  if (par2::ParseRecoveryAmount(text, pieces, slices, &ignored)) return true;
  *error = Tr(lang, "invalid amount of recovery data: '") + text +
           Tr(lang,
              "'; N is a number of recovery slices (one rebuilds one piece) "
              "from 1 to 65535, N% a share of the pieces from 1% to 100%");
  return false;
}

par2::Progress TerminalProgress(CliPlatform& p) {
  par2::Progress progress;
  progress.report = [&p](uint64_t done, uint64_t total) {
    p.ProgressPos(ProgressPosition(done, total));
  };
  progress.cancelled = [&p] { return p.ProgressCheckCancel() || p.Cancelled(); };
  return progress;
}

int WriteRecovery(CliPlatform& p, const std::vector<std::string>& pieces,
                  uint32_t slices) {
  const Lang lang = p.Language();
  par2::CreateOptions options;
  options.pieces = pieces;
  options.index = RecoveryIndexFor(pieces.front());
  options.recovery_slices = slices;
  options.confirm_replace = [&p](const std::vector<std::string>& existing) {
    // The cut asked about every one of these names before it wrote its
    // first piece; what came since was not agreed to.
    for (const std::string& path : existing)
      if (!p.Agreed(path.c_str())) return false;
    return true;
  };
  p.ProgressCreate();
  p.ProgressCaption(Tr(lang, "Recovery data"));
  p.ProgressLabel(options.index.c_str());
  p.ProgressPos(0);
  options.progress = TerminalProgress(p);
  par2::CreateResult r = par2::CreateRecovery(options);
  p.ProgressDestroy();
  if (!r.ok) {
    if (p.Cancelled()) {
      p.Notify(Tr(lang, "recovery data: cancelled; none was written"));
      return 130;
    }
    std::string text = Tr(lang, "recovery data not written: ") + r.error;
    p.Notify(text.c_str());
    return 1;
  }
  return 0;
}

namespace {

bool IsRegular(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool EndsWith(const std::string& s, const char* tail) {
  size_t n = strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// Asks about each file a repair would replace; true when all may go.
std::function<bool(const std::vector<std::string>&)> AskEach(CliPlatform& p) {
  return [&p](const std::vector<std::string>& existing) {
    for (const std::string& path : existing) {
      size_t slash = path.rfind('/');
      std::string name =
          slash == std::string::npos ? path : path.substr(slash + 1);
      char text[kPathCap + 128];
      Format(text, sizeof text, Text(p.Language(), kMsgOverwrite),
             name.c_str());
      if (!p.ConfirmReplace(path.c_str(), text)) return false;
    }
    return true;
  };
}

const char* StateText(Lang lang, par2::PieceState s) {
  switch (s) {
    case par2::PieceState::kGood:
      return Tr(lang, "good");
    case par2::PieceState::kMissing:
      return TrC(lang, "piece state", "missing");
    case par2::PieceState::kShort:
      return TrC(lang, "piece state", "short");
    case par2::PieceState::kDamaged:
      return TrC(lang, "piece state", "damaged");
    case par2::PieceState::kNotAFile:
    default:
      return Tr(lang, "unreadable");
  }
}

// The pieces that are not good, one line each on standard output.
size_t PrintPieces(Lang lang, const par2::VerifyReport& report,
                   bool good_too) {
  // By name: the recovery data holds them in the order of their ids. The
  // names share one stem: a longer number is a larger one (c99 < c100).
  std::vector<const par2::PieceReport*> sorted;
  for (const par2::PieceReport& piece : report.pieces) sorted.push_back(&piece);
  std::sort(sorted.begin(), sorted.end(),
            [](const par2::PieceReport* a, const par2::PieceReport* b) {
              if (a->name.size() != b->name.size())
                return a->name.size() < b->name.size();
              return a->name < b->name;
            });
  size_t bad = 0;
  for (const par2::PieceReport* at : sorted) {
    const par2::PieceReport& piece = *at;
    if (piece.state != par2::PieceState::kGood) ++bad;
    else if (!good_too) continue;
    std::string line = piece.name + ": " + StateText(lang, piece.state);
    if (!piece.detail.empty()) line += " (" + piece.detail + ")";
    PrintSafe("%s\n", line.c_str());
  }
  return bad;
}

// Whether every piece of the set is one slice: then slices are pieces.
bool OneSlicePerPiece(const par2::VerifyReport& report) {
  for (const par2::SetFile& f : report.set.files)
    if (f.slice_count > 1) return false;
  return true;
}

}  // namespace

std::string FindRecoveryIndex(CliPlatform& p, const std::string& file) {
  if (EndsWith(file, ".par2")) return IsRegular(file) ? file : std::string();
  SetLocation set;
  if (!LocateSet(p, file.c_str(), &set)) return std::string();
  const std::string index = RecoveryIndexFor(set.piece0);
  if (IsRegular(index)) return index;
  // The index may be lost with the pieces: any recovery file of the set
  // holds a copy of its packets.
  size_t slash = index.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string(".") : index.substr(0, slash);
  std::string prefix = slash == std::string::npos ? index : index.substr(slash + 1);
  prefix.resize(prefix.size() - strlen(".par2"));
  prefix += ".vol";
  std::vector<std::string> found;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* e = readdir(dir)) {
      std::string name = e->d_name;
      if (name.compare(0, prefix.size(), prefix) == 0 && EndsWith(name, ".par2"))
        found.push_back(name);
    }
    closedir(dir);
  }
  std::sort(found.begin(), found.end());
  for (const std::string& name : found) {
    std::string path = slash == std::string::npos ? name : folder + "/" + name;
    if (IsRegular(path)) return path;
  }
  return std::string();
}

int RepairPieces(CliPlatform& p, const std::string& file,
                 const std::string& output_dir) {
  const Lang lang = p.Language();
  const std::string index = FindRecoveryIndex(p, file);
  if (index.empty()) {
    std::string text = file + Tr(lang,
                                 ": no recovery data (STEM.par2 or "
                                 "STEM.vol*.par2) beside the set");
    p.Notify(text.c_str());
    return 1;
  }
  if (!output_dir.empty() && !p.Exists(output_dir.c_str()) &&
      !p.MakeFolder(output_dir.c_str())) {
    std::string text = output_dir + ": " + strerror(errno);
    p.Notify(text.c_str());
    return 1;
  }
  par2::RepairOptions options;
  options.output_dir = output_dir;
  options.confirm_replace = AskEach(p);
  p.ProgressCreate();
  p.ProgressCaption(Tr(lang, "Repair"));
  p.ProgressLabel(index.c_str());
  p.ProgressPos(0);
  options.progress = TerminalProgress(p);
  par2::RepairResult r = par2::RepairSet(index, options);
  p.ProgressDestroy();
  PrintPieces(lang, r.before, false);
  for (const std::string& path : r.rebuilt) {
    std::string line = Tr(lang, "rebuilt ") + path;
    PrintSafe("%s\n", line.c_str());
  }
  for (const std::string& path : r.kept_bad) {
    std::string line = Tr(lang, "the damaged piece is kept as ") + path;
    PrintSafe("%s\n", line.c_str());
  }
  if (!r.ok) {
    if (p.Cancelled()) {
      p.Notify(Tr(lang, "repair cancelled"));
      return 130;
    }
    std::string text = Tr(lang, "cannot repair: ") + r.error;
    p.Notify(text.c_str());
    return 1;
  }
  if (r.rebuilt.empty()) {
    PrintSafe("%s\n", Tr(lang, "every piece is good; nothing to repair"));
  } else {
    PrintSafe("%s\n", Tr(lang, "every piece matches now"));
  }
  return 0;
}

int VerifyWithRecovery(CliPlatform& p, const std::string& index) {
  const Lang lang = p.Language();
  par2::VerifyOptions options;
  p.ProgressCreate();
  p.ProgressCaption(Tr(lang, "Verify"));
  p.ProgressLabel(index.c_str());
  p.ProgressPos(0);
  options.progress = TerminalProgress(p);
  par2::VerifyReport report = par2::VerifySet(index, options);
  p.ProgressDestroy();
  if (!report.ok) {
    if (p.Cancelled()) {
      p.Notify(Tr(lang, "verify cancelled"));
      return 130;
    }
    std::string text = Tr(lang, "cannot verify: ") + report.error;
    p.Notify(text.c_str());
    return 1;
  }
  for (const std::string& note : report.set.notes) {
    std::string text = note;
    p.Notify(text.c_str());
  }
  const size_t bad = PrintPieces(lang, report, true);
  if (report.all_good) {
    std::string line = TrF(
        lang, "all %s good",
        Count(lang, report.pieces.size(), "piece is", "pieces are").c_str());
    PrintSafe("%s\n", line.c_str());
    return 0;
  }
  const bool by_piece = OneSlicePerPiece(report);
  std::string line =
      Count(lang, bad, "piece damaged or missing", "pieces damaged or missing");
  if (report.repairable) {
    line +=
        Tr(lang, "; the recovery data can rebuild up to ") +
        (by_piece ? Count(lang, report.recovery_slices, "piece", "pieces")
                  : Count(lang, report.recovery_slices, "slice", "slices")) +
        Tr(lang, ": run parvex repair");
  } else {
    line += Tr(lang, "; the recovery data cannot rebuild them (") +
            Count(lang, report.bad_slices, "slice", "slices") +
            Tr(lang, " needed, ") + std::to_string(report.recovery_slices) +
            Tr(lang, " at hand)");
  }
  PrintSafe("%s\n", line.c_str());
  return 1;
}

void RemoveRebuilt(CliPlatform& p, const RebuiltSet& set) {
  if (set.folder.empty()) return;
  bool ok = true;
  for (const std::string& name : set.names) {
    std::string path = set.folder + name;
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
      ok = false;
      std::string text = path + ": " + strerror(errno);
      p.Notify(text.c_str());
    }
  }
  std::string dir = set.folder.substr(0, set.folder.size() - 1);
  if (ok && rmdir(dir.c_str()) != 0) {
    std::string text = dir + ": " + strerror(errno);
    p.Notify(text.c_str());
  }
}

bool RebuildForJoin(CliPlatform& p, const std::string& index,
                    const std::string& folder, RebuiltSet* out) {
  const Lang lang = p.Language();
  *out = RebuiltSet();
  std::string pattern = (folder.empty() ? std::string("./") : folder) +
                        ".parvex-rebuilt-XXXXXX";
  std::vector<char> temp(pattern.begin(), pattern.end());
  temp.push_back('\0');
  if (!mkdtemp(temp.data())) {
    std::string text = pattern + ": " + strerror(errno);
    p.Notify(text.c_str());
    return false;
  }
  out->folder = std::string(temp.data()) + "/";

  par2::RepairOptions options;
  options.output_dir = temp.data();
  // The folder is new and ours: nothing in it to replace.
  options.confirm_replace = [](const std::vector<std::string>&) {
    return false;
  };
  p.ProgressCreate();
  p.ProgressCaption(Tr(lang, "Repair"));
  p.ProgressLabel(index.c_str());
  p.ProgressPos(0);
  options.progress = TerminalProgress(p);
  par2::RepairResult r = par2::RepairSet(index, options);
  p.ProgressDestroy();
  for (const std::string& path : r.rebuilt) {
    size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    out->names.push_back(name);
    out->rebuilt.push_back(name);
  }
  auto give_up = [&](const std::string& text) {
    p.Notify(text.c_str());
    RemoveRebuilt(p, *out);
    out->folder.clear();
    return false;
  };
  if (!r.ok) {
    if (p.Cancelled()) return give_up(Tr(lang, "repair cancelled"));
    return give_up(Tr(lang, "the missing pieces cannot be rebuilt: ") +
                   r.error);
  }
  for (const par2::PieceReport& piece : r.before.pieces) {
    if (piece.state != par2::PieceState::kGood) continue;
    if (piece.name.find('/') != std::string::npos)
      return give_up(piece.name + Tr(lang, ": not a name of a piece"));
    char* real = realpath(piece.path.c_str(), nullptr);
    if (!real) return give_up(piece.path + ": " + strerror(errno));
    std::string target = real;
    free(real);
    std::string link_path = out->folder + piece.name;
    if (symlink(target.c_str(), link_path.c_str()) != 0)
      return give_up(link_path + ": " + strerror(errno));
    out->names.push_back(piece.name);
  }
  return true;
}

}  // namespace pvx

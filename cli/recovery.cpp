#include "cli/recovery.h"

#include <algorithm>

#include "format/piece_format.h"
#include "integrity/par2_create.h"

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
  *error = Say(lang, "invalid amount of recovery data: '",
               "リカバリデータの量が正しくありません: '") +
           text +
           Say(lang,
               "'; N is a number of recovery slices (one rebuilds one piece) "
               "from 1 to 65535, N% a share of the pieces from 1% to 100%",
               "'. N は復元ブロックの数 (1 個で 1 つの分割ファイルを復元) で "
               "1 から 65535 まで, N% は分割ファイルの数に対する割合で 1% から "
               "100% までです");
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
  p.ProgressCaption(Say(lang, "Recovery data", "リカバリデータ"));
  p.ProgressLabel(options.index.c_str());
  p.ProgressPos(0);
  options.progress = TerminalProgress(p);
  par2::CreateResult r = par2::CreateRecovery(options);
  p.ProgressDestroy();
  if (!r.ok) {
    if (p.Cancelled()) {
      p.Notify(Say(lang, "recovery data: cancelled; none was written",
                   "リカバリデータ: 中止しました. 何も書き込んでいません"));
      return 130;
    }
    std::string text = Say(lang, "recovery data not written: ",
                           "リカバリデータを書き込めませんでした: ") +
                       r.error;
    p.Notify(text.c_str());
    return 1;
  }
  return 0;
}

}  // namespace pvx

// parvex info: what a set holds and whether a join would take it; and
// the check of a join's output that info shares.
#include <stdio.h>

#include "base/path.h"
#include "base/text.h"
#include "cli/commands.h"
#include "integrity/checksums.h"
#include "integrity/join_plan.h"

namespace pvx {

std::string OutputProblem(CliPlatform& t, const SetSurvey& s,
                          const std::string& out_path,
                          const std::string& list) {
  const Lang lang = t.Language();
  const std::vector<std::string> inputs = JoinInputs(s, list);
  const PosixPlatform::OutputBlock block =
      out_path.empty() ? t.CheckStandardOutput(inputs)
                       : t.CheckOutput(out_path, inputs);
  char text[2 * kPathCap];
  switch (block.kind) {
    case PosixPlatform::OutputBlock::kNone:
      return std::string();
    case PosixPlatform::OutputBlock::kIsInput:
      Format(text, sizeof text, Text(lang, kMsgIsInput),
             out_path.empty() ? (Tr(lang, "standard output (") +
                                 block.path + ")").c_str()
                              : block.path.c_str());
      return text;
    case PosixPlatform::OutputBlock::kNotAFile:
      return block.why.text;
    case PosixPlatform::OutputBlock::kNameTooLong:
      break;
  }
  // The output is written as NAME.part first.
  snprintf(text, sizeof text,
           Tr(lang, "%s: the name is %zu bytes long; with \".part\" while it "
               "is written it must fit in %ld"),
           out_path.c_str(), block.length, block.most);
  return text;
}

namespace {

// The set's header and its pieces; writes nothing. 0 exactly when a join
// would accept the set, 1 otherwise.
int ShowInfo(Parvex& x, const char* file) {
  CliPlatform& p = x.terminal;
  Lang lang = p.Language();
  Failure why;
  SetSurvey s;
  if (!SurveySet(x.platform, file, &s, &why)) {
    p.Notify(why.text);
    return 1;
  }
  if (s.image == 0 && s.set.self_joining) {
    p.Notify(s.problem.c_str());
    return 1;
  }
  const char* piece0_name = NameOf(s.set.piece0.c_str());
  if (s.pieces.empty()) {  // not a piece set at all
    p.Notify(s.problem.c_str());
    return 1;
  }

  if (s.set.self_joining) {
    PrintSafe(Tr(lang, "%s: self-joining piece set (stub program of %s %s)\n"),
           piece0_name, Grouped(s.image).c_str(), Bytes(lang, s.image));
  } else {
    PrintSafe(Tr(lang, "%s: piece set\n"), piece0_name);
  }
  if (!s.output.empty())
    PrintSafe(Tr(lang, "  source file: %s\n"),
           s.output.c_str());
  PrintSafe(Tr(lang, "  source size: %s %s\n"),
         Grouped(s.header.size).c_str(),
         Bytes(lang, s.header.size));
  if (s.header.form != HeaderForm::kClassic) {
    PrintSafe(Tr(lang, "  header: %s\n"),
              s.header.form == HeaderForm::kLarge
                  ? Tr(lang, "large (@PARVEX+, with record)")
                  : Tr(lang, "with record"));
    // What an older joiner would write instead of the exact name.
    char stand_in[kNameCap];
    if (s.header.exact_name[0] &&
        p.FromHeaderName(s.header.file_name, stand_in, sizeof stand_in))
      PrintSafe(Tr(lang, "  stand-in name: %s\n"),
                stand_in);
  }
  if (s.header.header_size != kHeaderSize) {
    PrintSafe(Tr(lang, "  header size: %u (not %u)\n"),
           s.header.header_size, kHeaderSize);
  }
  // Whether a checksum list travels with the set (it is not read here).
  std::string list = ListPathFor(s.set.piece0);
  const bool have_list = p.Exists(list.c_str());
  // What the join would find wrong with its output, beside the pieces.
  std::string output_problem =
      s.HeaderSound() ? OutputProblem(p, s, s.set.folder + s.output,
                                      have_list ? list : std::string())
                      : std::string();
  // A list that a join would refuse (read here, never hashed).
  if (output_problem.empty() && have_list && s.HeaderSound()) {
    ChecksumList entries;
    output_problem = LoadSetList(lang, s, list, &entries);
  }
  if (!s.HeaderSound()) PrintSafe("  %s\n", s.problem.c_str());
  if (!output_problem.empty()) PrintSafe("  %s\n", output_problem.c_str());
  if (have_list)
    PrintSafe(Tr(lang, "  checksum list: %s (check it with: parvex verify)\n"),
           NameOf(list.c_str()));
  else
    PrintSafe("%s", Tr(lang, "  checksum list: none\n"));

  PrintSafe(Tr(lang, "  pieces:\n"));
  auto show = [&](const SurveyPiece& piece, bool first) {
    std::string name = piece.name;
    switch (piece.status) {
      case SurveyPiece::kMissing:
        PrintSafe("    %-20s %s\n", name.c_str(),
               Tr(lang, "missing"));
        return;
      case SurveyPiece::kUnusable:
        PrintSafe("    %s\n", piece.why.c_str());
        return;
      default:
        break;
    }
    std::string note;
    if (first) {
      uint64_t head = uint64_t{s.image} + s.header.header_size;
      note = TrF(lang, " (%s of data)",
                 Grouped(piece.length > head ? piece.length - head : 0).c_str());
    }
    if (piece.status == SurveyPiece::kShort ||
        piece.status == SurveyPiece::kLong) {
      note += std::string("  ") +
              (piece.expected == 0
                   ? Tr(lang, "(not part of the set)")
               : piece.status == SurveyPiece::kShort
                   ? Tr(lang, "short: the set needs ")
                   : Tr(lang, "too long: the set needs "));
      if (piece.expected != 0)
        note += Grouped(piece.expected) + " " + Bytes(lang, piece.expected);
    }
    PrintSafe("    %-20s %15s %s%s\n", name.c_str(), Grouped(piece.length).c_str(),
           Bytes(lang, piece.length), note.c_str());
  };
  for (size_t k = 0; k < s.pieces.size(); ++k) show(s.pieces[k], k == 0);
  for (const SurveyPiece& piece : s.beyond) show(piece, false);

  const uint64_t source = s.header.size;
  const bool joinable = s.Joinable() && output_problem.empty();
  if (!output_problem.empty()) {
    PrintSafe(Tr(lang, "not joinable: %s\n"),
           output_problem.c_str());
  } else if (s.Joinable()) {
    PrintSafe(TrN(lang, "complete: %zu piece holds all %s %s.\n",
                  "complete: %zu pieces hold all %s %s.\n", s.pieces.size()),
           s.pieces.size(), Grouped(source).c_str(), Bytes(lang, source));
  } else if (s.data < source) {
    PrintSafe(TrN(lang, "incomplete: %s of %s %s is missing.\n",
                  "incomplete: %s of %s %s are missing.\n", source - s.data),
           Grouped(source - s.data).c_str(), Grouped(source).c_str(),
           Bytes(lang, source));
  } else if (s.data > source) {
    PrintSafe(Tr(lang, "inconsistent: the pieces hold %s %s more than the source "
               "size.\n"),
           Grouped(s.data - source).c_str(), Bytes(lang, s.data - source));
  } else {
    PrintSafe(Tr(lang, "not joinable: %s\n"),
           s.HeaderSound() ? Tr(lang, "the pieces do not have the lengths the "
                                       "set needs.")
                           : s.problem.c_str());
  }
  return joinable ? 0 : 1;
}

}  // namespace

int RunInfo(Parvex& x, const Options& o) {
  return Flushed(x.terminal, ShowInfo(x, o.file.c_str()));
}

}  // namespace pvx

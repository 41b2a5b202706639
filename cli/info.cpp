#include "cli/info.h"

#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/path.h"
#include "base/text.h"
#include "engines/messages.h"
#include "engines/own_texts.h"
#include "integrity/checksums.h"

namespace pvx {
namespace {

// The files a join of s reads, as far as they are there: its pieces (the
// program of a self-joining set is piece 0), further pieces beside it, and
// the checksum list.
std::vector<std::string> InputsOf(const SetSurvey& s, const std::string& list) {
  std::vector<std::string> paths;
  for (const SurveyPiece& piece : s.pieces) paths.push_back(piece.path);
  for (const SurveyPiece& piece : s.beyond) paths.push_back(piece.path);
  if (!list.empty()) paths.push_back(list);
  return paths;
}

std::string IsInputText(Lang lang, const std::string& what) {
  char text[2 * kPathCap];
  Format(text, sizeof text, Text(lang, kMsgIsInput), what.c_str());
  return text;
}

bool SameEntry(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

std::string OutputProblem(Lang lang, const SetSurvey& s,
                          const std::string& out_path,
                          const std::string& list) {
  struct stat out, part, in;
  const bool there = lstat(out_path.c_str(), &out) == 0;
  // The output is written as NAME.part first, and a NAME.part found there
  // is replaced: neither may be a file the join reads.
  const std::string part_path = out_path + ".part";
  const bool part_there = lstat(part_path.c_str(), &part) == 0;
  for (const std::string& path : InputsOf(s, list)) {
    // A link at the output's name is replaced itself, never its target.
    const bool in_there = stat(path.c_str(), &in) == 0;
    if (path == out_path || (there && in_there && SameEntry(out, in)))
      return IsInputText(lang, out_path);
    if (path == part_path || (part_there && in_there && SameEntry(part, in)))
      return IsInputText(lang, part_path);
  }
  if (there && !S_ISREG(out.st_mode) && !S_ISLNK(out.st_mode)) {
    Failure why;
    PosixPlatform::DescribeKind(&why, out_path.c_str(), out.st_mode, lang);
    return why.text;
  }
  // The output is written as NAME.part first.
  const std::string name = NameOf(out_path.c_str());
  std::string folder = out_path.substr(0, out_path.size() - name.size());
  long most = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  if (most <= 0) most = 255;
  if (name.size() + 5 > static_cast<size_t>(most)) {
    char text[2 * kPathCap];
    snprintf(text, sizeof text,
             Tr(lang,
                "%s: the name is %zu bytes long; with \".part\" while it "
                "is written it must fit in %ld"),
             out_path.c_str(), name.size(), most);
    return text;
  }
  return std::string();
}

std::string StandardOutputProblem(Lang lang, const SetSurvey& s,
                                  const std::string& list) {
  struct stat out, in;
  if (fstat(STDOUT_FILENO, &out) != 0 || !S_ISREG(out.st_mode))
    return std::string();
  for (const std::string& path : InputsOf(s, list))
    if (stat(path.c_str(), &in) == 0 && SameEntry(out, in))
      return IsInputText(lang, Tr(lang, "standard output (") + path + ")");
  return std::string();
}

int ShowInfo(CliPlatform& p, const char* file) {
  Lang lang = p.Language();
  Failure why;
  SetSurvey s;
  if (!SurveySet(p, file, &s, &why)) {
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
    PrintSafe(Tr(lang, "  source file: %s\n"), s.output.c_str());
  PrintSafe(Tr(lang, "  source size: %s %s\n"), Grouped(s.header.size).c_str(),
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
      PrintSafe(Tr(lang, "  stand-in name: %s\n"), stand_in);
  }
  if (s.header.header_size != kHeaderSize) {
    PrintSafe(Tr(lang, "  header size: %u (not %u)\n"), s.header.header_size,
              kHeaderSize);
  }
  // Whether a checksum list travels with the set (it is not read here).
  std::string list = ListPathFor(s.set.piece0);
  struct stat st;
  const bool have_list = lstat(list.c_str(), &st) == 0;
  // What the join would find wrong with its output, beside the pieces.
  std::string output_problem =
      s.HeaderSound() ? OutputProblem(lang, s, s.set.folder + s.output,
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
        PrintSafe("    %-20s %s\n", name.c_str(), Tr(lang, "missing"));
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
      note =
          TrF(lang, " (%s of data)",
              Grouped(piece.length > head ? piece.length - head : 0).c_str());
    }
    if (piece.status == SurveyPiece::kShort ||
        piece.status == SurveyPiece::kLong) {
      note += std::string("  ") + (piece.expected == 0
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
    PrintSafe(Tr(lang, "not joinable: %s\n"), output_problem.c_str());
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
    PrintSafe(Tr(lang,
                 "inconsistent: the pieces hold %s %s more than the source "
                 "size.\n"),
              Grouped(s.data - source).c_str(), Bytes(lang, s.data - source));
  } else {
    PrintSafe(Tr(lang, "not joinable: %s\n"),
              s.HeaderSound() ? Tr(lang,
                                   "the pieces do not have the lengths the "
                                   "set needs.")
                              : s.problem.c_str());
  }
  return joinable ? 0 : 1;
}

}  // namespace pvx

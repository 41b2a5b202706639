#include "integrity/checksums.h"

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <stdexcept>

#include "base/path.h"
#include "base/text.h"
#include "engines/messages.h"
#include "engines/own_texts.h"
#include "format/piece_format.h"
#include "integrity/sha256_list.h"

namespace pvx {
namespace {

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// "LIST: names none of the pieces of SET": a list made for another set, or
// one whose names do not match the pieces'.
std::string NamesNoPiece(Lang lang, const std::string& list,
                         const SetSurvey& s) {
  return list + Tr(lang, ": names none of the pieces of ") + s.set.piece0;
}

}  // namespace

std::string ListPathFor(const std::string& piece0_path) {
  std::string name = NameOf(piece0_path.c_str());
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return FolderOf(piece0_path) + name + kListSuffix;
}

std::string LoadSetList(Lang lang, const SetSurvey& s,
                        const std::string& path, ChecksumList* list) {
  ListError error;
  if (!list->Load(path, &error)) return DescribeListError(error, lang);
  // A list that checks nothing must not pass for a check.
  for (const SurveyPiece& piece : s.pieces)
    if (list->Find(piece.name)) return std::string();
  return NamesNoPiece(lang, path, s);
}

}  // namespace pvx

// The checksum list that travels with a set (STEM.sha256 beside piece 0):
// where it lies, whether it checks the set at all, what a join checks
// against it, and writing it after a cut.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "integrity/digest.h"
#include "integrity/hashing_platform.h"
#include "engines/piece_set.h"
#include "integrity/sha256_list.h"

namespace pvx {

// The list beside a piece 0: its name without the extension + ".sha256".
std::string ListPathFor(const std::string& piece0_path);

// The companion a cut writes beside its pieces: STEM + this.
constexpr const char* kListSuffix = ".sha256";

// Reads the list at path for the surveyed set s: "" when it is a list that
// checks at least one of the set's pieces, otherwise why it checks nothing
// (it cannot be read or parsed, or names none of the pieces).
std::string LoadSetList(Lang lang, const SetSurvey& s, const std::string& path,
                        ChecksumList* list);

// The list that checks a surveyed set: the one named, else the one beside
// piece 0 when an entry stands there.
struct SetList {
  bool found = false;   // named, or there beside piece 0
  std::string path;
  std::string problem;  // found, but it checks nothing: why (LoadSetList)
  ChecksumList entries;
};
SetList FindSetList(Platform& p, const SetSurvey& s, const std::string& named);

// What a join checks, taken from a list that checks the set.
struct JoinCheck {
  std::string list;                      // its path, for messages
  std::map<std::string, Sha256> pieces;  // by path
  bool has_output = false;
  Sha256 output = {};
  // What the list has no line for: pieces by path, then the output by
  // name.
  std::vector<std::string> uncovered;
};
JoinCheck CheckForJoin(const SetSurvey& s, const SetList& list);

// After a cut through h with digests: the list of the pieces (piece 0
// first, the paths they stand under), then the source under source_name,
// written beside piece 0 by the rules of every file a cut writes: never
// over the source, under a temporary name until complete, with the
// source's permission bits. A piece h has no digest of (piece 0 of a
// stream, whose header is written again at its end) is read back.
// source_path: the file cut, or "-" for standard input. replace: the user
// agreed to replace a list that stands there.
struct CutList {
  enum Outcome { kWritten, kNoDigests, kIsSource, kFailed };
  Outcome outcome = kFailed;
  std::string path;  // the list's
  Failure why;       // kFailed: names the file and the cause
};
CutList WriteCutList(HashingPlatform& h, const std::vector<std::string>& pieces,
                     const std::string& source_name,
                     const std::string& source_path, bool replace);

}  // namespace pvx

// The checksum list that travels with a set (STEM.sha256 beside piece 0):
// where it lies, and whether it checks the set at all.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "integrity/digest.h"
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

}  // namespace pvx

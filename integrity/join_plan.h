// What a join will do, decided before it reads any data: the set and what
// it lacks, whether its pieces are to be rebuilt from recovery data first,
// the checksum list it checks against, and where its output goes.
#pragma once

#include <string>

#include "engines/piece_set.h"
#include "integrity/checksums.h"

namespace pvx {

struct JoinRequest {
  std::string file;         // any name of the set
  std::string destination;  // the folder to write into ("" or ending in '/')
  std::string output;       // the file to write instead ("-": standard output)
  std::string named_list;   // the list to check against ("": the set's own)
  bool pause = false;       // a disk per piece: only piece 0 is there now
  bool no_verify = false;   // check no list
  bool no_repair = false;   // never rebuild from recovery data
};

struct JoinPlan {
  enum Verdict {
    kJoin,        // go ahead
    kRebuild,     // pieces lack, and the recovery data at index can tell
    kNoSet,       // piece 0 cannot be read: why
    kBadHeader,   // survey.problem says why
    kIncomplete,  // PieceProblems(survey) say why
    kBadList,     // the list checks nothing: problem
  };
  Verdict verdict = kNoSet;
  SetSurvey survey;
  Failure why;
  std::string index;
  std::string problem;
  bool checked = false;  // a list checks the pieces (and the output): check
  JoinCheck check;
  std::string output_path;  // where the output is written; "": standard output
};

JoinPlan PlanJoin(Platform& p, const JoinRequest& r);

// The folder a join of the set in set_folder writes into, where the pieces
// it lacks are rebuilt: output's own ("-", standard output, has none: the
// current one, ""), else destination ("" or ending in '/'), else the set's.
std::string RebuildFolder(const std::string& output,
                          const std::string& destination,
                          const std::string& set_folder);

// The files a join of s reads, as far as they are there: its pieces (the
// program of a self-joining set is piece 0), further pieces beside it, and
// the checksum list at list (when not empty). Its output must be none of
// them.
std::vector<std::string> JoinInputs(const SetSurvey& s,
                                    const std::string& list);

}  // namespace pvx

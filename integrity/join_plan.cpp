#include "integrity/join_plan.h"

#include "integrity/recovery.h"

namespace pvx {

std::string RebuildFolder(const std::string& output,
                          const std::string& destination,
                          const std::string& set_folder) {
  // Standard output has no folder; the set's is left alone.
  if (output == "-") return std::string();
  if (!output.empty()) {
    const size_t slash = output.rfind('/');
    return slash == std::string::npos ? std::string()
                                      : output.substr(0, slash + 1);
  }
  return destination.empty() ? set_folder : destination;
}

JoinPlan PlanJoin(Platform& p, const JoinRequest& r) {
  JoinPlan plan;
  SetSurvey& s = plan.survey;
  const bool surveyed = SurveySet(p, r.file.c_str(), &s, &plan.why);
  // Pieces lacking (piece 0 among them) with recovery data beside the set:
  // rebuilt for the join first. With a disk per piece, the others are not
  // there yet.
  if (!r.pause && !r.no_repair &&
      (!surveyed || (s.HeaderSound() && !s.Joinable()))) {
    plan.index = FindRecoveryIndex(p, r.file);
    if (!plan.index.empty()) {
      plan.verdict = JoinPlan::kRebuild;
      return plan;
    }
  }
  if (!surveyed) return plan;
  if (!s.HeaderSound()) {
    plan.verdict = JoinPlan::kBadHeader;
    return plan;
  }
  if (!r.pause && !s.Joinable()) {
    plan.verdict = JoinPlan::kIncomplete;
    return plan;
  }
  if (!r.no_verify) {
    const SetList list = FindSetList(p, s, r.named_list);
    if (!list.problem.empty()) {
      plan.verdict = JoinPlan::kBadList;
      plan.problem = list.problem;
      return plan;
    }
    if (list.found) {
      plan.checked = true;
      plan.check = CheckForJoin(s, list);
    }
  }
  plan.output_path = r.output == "-"           ? std::string()
                     : !r.output.empty()        ? r.output
                     : r.destination.empty() ? s.set.folder + s.output
                                              : r.destination + s.output;
  plan.verdict = JoinPlan::kJoin;
  return plan;
}

std::vector<std::string> JoinInputs(const SetSurvey& s,
                                    const std::string& list) {
  std::vector<std::string> paths;
  for (const SurveyPiece& piece : s.pieces) paths.push_back(piece.path);
  for (const SurveyPiece& piece : s.beyond) paths.push_back(piece.path);
  if (!list.empty()) paths.push_back(list);
  return paths;
}

}  // namespace pvx

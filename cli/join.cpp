// parvex join: the set a file belongs to back into its source, checked
// against its list, its missing pieces rebuilt from recovery data first.
#include <errno.h>
#include <string.h>

#include <string>

#include "base/path.h"
#include "base/text.h"
#include "cli/commands.h"
#include "engines/engine_util.h"
#include "integrity/join_plan.h"
#include "integrity/recovery.h"

namespace pvx {
namespace {

// join -o: points the engine's output at o.output.
void RedirectOutput(CliPlatform& p, const Options& o, const SetSurvey& survey) {
  // The engines write to the pieces' folder (no -d with -o) under the
  // header's name.
  const std::string engine_path = survey.set.folder + survey.output;
  char from[kPathCap + 64];
  char to[kPathCap + 64];
  Format(from, sizeof from, Text(p.Language(), kMsgJoinDone),
         survey.output.c_str());
  Format(to, sizeof to, Text(p.Language(), kMsgJoinDone), o.output.c_str());
  p.SetOutput(engine_path, o.output, from, o.output == "-" ? from : to);
}

// A join of a set that lacks pieces, with recovery data at index: the
// pieces are rebuilt into a temporary folder inside the folder the join
// writes into, the set is joined from there, and the folder is removed.
int JoinRebuilt(Parvex& x, const Options& o, const SetLocation& set,
                const std::string& index) {
  CliPlatform& p = x.terminal;
  const Lang lang = p.Language();
  // "": the current folder.
  const std::string folder =
      RebuildFolder(o.output, WithSeparator(o.destination), set.folder);
  // Every missing level (as the join itself makes them); the last one is
  // made again here when that failed, for the cause.
  if (o.output.empty() && !o.destination.empty() &&
      !CreateFolderChain(p, folder.c_str()) && !p.Exists(folder.c_str()) &&
      !p.MakeFolder(folder.c_str())) {
    std::string text = folder + ": " + strerror(errno);
    p.Notify(text.c_str());
    return kExitFailed;
  }
  const Rebuild rebuilt =
      RebuildForJoin(x.platform, index, folder, Tr(lang, "Repair"));
  if (rebuilt.outcome != Rebuild::kRebuilt) {
    std::string text = rebuilt.detail;
    if (rebuilt.outcome == Rebuild::kNotRebuilt)
      text = p.Cancelled() ? Tr(lang, "repair cancelled")
                           : Tr(lang, "the missing pieces cannot be rebuilt: ") +
                                 rebuilt.detail;
    else if (rebuilt.outcome == Rebuild::kNotAPiece)
      text += Tr(lang, ": not a name of a piece");
    p.Notify(text.c_str());
    for (const std::string& failure : rebuilt.cleanup) p.Notify(failure.c_str());
    return p.Cancelled() ? kExitCancelled : kExitFailed;
  }
  for (const std::string& name : rebuilt.set.rebuilt) {
    std::string text =
        name + Tr(lang, ": rebuilt from the recovery data for this join (the "
                   "set's folder is left as it is)");
    p.Notify(text.c_str());
  }
  Options from = o;
  from.no_repair = true;
  from.file = rebuilt.set.folder + NameOf(set.piece0.c_str());
  if (o.output.empty() && o.destination.empty()) from.destination = set.folder;
  if (from.destination.empty() && o.output.empty()) from.destination = "./";
  // The set's own list still checks the pieces and the result.
  const std::string list = ListPathFor(set.piece0);
  if (!o.no_verify && o.checksum.empty() && p.Exists(list.c_str()))
    from.checksum = list;
  const int status = RunJoin(x, from);
  for (const std::string& failure : RemoveRebuilt(rebuilt.set))
    p.Notify(failure.c_str());
  return status;
}

}  // namespace

int RunJoin(Parvex& x, const Options& o) {
  CliPlatform& p = x.terminal;
  HashingPlatform& h = x.platform;
  const Lang lang = p.Language();
  CatchEndingSignals();
  SetLocation set;
  if (!LocateSet(h, o.file.c_str(), &set)) {
    NotifyText(p, kMsgPathTooLong, o.file.c_str());
    return kExitFailed;
  }
  // With a pause per disk, disk 1 is asked for first, so that the output
  // and the list are decided from its piece 0 before any data is read; the
  // engine's own question for it is then answered already.
  if (o.pause && !set.self_joining) {
    char text[256];
    Format(text, sizeof text, Text(lang, kMsgInsertDisk), 1);
    if (!p.AwaitDisk(text)) return kExitCancelled;
    p.SkipNextDisk();
  }
  // Everything the join will write is decided here, before it reads data:
  // the set (all of it, without pauses), the output and the list.
  JoinRequest request;
  request.file = o.file;
  request.destination = WithSeparator(o.destination);
  request.output = o.output;
  request.named_list = o.checksum;
  request.pause = o.pause;
  request.no_verify = o.no_verify;
  request.no_repair = o.no_repair;
  const JoinPlan plan = PlanJoin(h, request);
  const SetSurvey& survey = plan.survey;
  switch (plan.verdict) {
    case JoinPlan::kRebuild:
      return JoinRebuilt(x, o, set, plan.index);
    case JoinPlan::kNoSet:
      p.Notify(plan.why.text);
      return kExitFailed;
    case JoinPlan::kBadHeader:
      p.Notify(survey.problem.c_str());
      return kExitFailed;
    case JoinPlan::kIncomplete: {
      std::string head = survey.set.piece0 +
                         Tr(lang, ": the set is not complete; nothing was written:");
      p.Notify(head.c_str());
      for (const std::string& line : PieceProblems(lang, survey))
        p.Notify(line.c_str());
      return kExitFailed;
    }
    case JoinPlan::kBadList: {
      std::string text = "parvex: " + plan.problem +
                         Tr(lang, "; nothing was written");
      p.Notify(text.c_str());
      return kExitFailed;
    }
    case JoinPlan::kJoin:
      break;
  }
  for (const std::string& path : plan.check.uncovered) {
    std::string text = "parvex: " + path +
                       Tr(lang, ": not covered by ") +
                       plan.check.list;
    p.Notify(text.c_str());
  }
  const std::string problem = OutputProblem(
      p, survey, plan.output_path, plan.checked ? plan.check.list : "");
  if (!problem.empty()) {
    p.Notify(problem.c_str());
    return kExitFailed;
  }
  if (!o.output.empty()) RedirectOutput(p, o, survey);
  if (plan.checked) {
    h.StartDigests();
    h.Expect(plan.check.pieces,
             plan.check.has_output ? &plan.check.output : nullptr,
             survey.output, plan.check.list);
  }

  Failure io;
  const std::string destination = WithSeparator(o.destination);
  const int result =
      survey.set.self_joining
          ? SelfJoin(h, survey.set.piece0.c_str(), survey.image,
                     destination.c_str(), &io)
          : JoinFile(h, o.file.c_str(), destination.c_str(), o.pause, &io);
  // A piece the list found damaged, with recovery data beside the set: the
  // join starts again from the pieces rebuilt for it (its NAME.part is
  // replaced). Not for standard output, which has the bytes already, nor
  // with a pause per disk.
  if (result != kDone && h.Mismatched() && !p.Cancelled() && !o.no_repair &&
      !o.pause && o.output != "-") {
    const std::string index = FindRecoveryIndex(h, o.file);
    if (!index.empty()) {
      if (result == kIoFailure) p.Notify(io.text);
      p.TakeKept();
      std::string text =
          index + Tr(lang, ": the set has recovery data; the damaged piece is "
                      "rebuilt from it for this join");
      p.Notify(text.c_str());
      return JoinRebuilt(x, o, set, index);
    }
  }
  const int status = ExitStatus(p, result, io);
  // Where it cannot start again, say where help is when the set has
  // recovery data.
  if (status == kExitFailed && plan.checked && !o.no_repair) {
    const std::string index = FindRecoveryIndex(h, o.file);
    if (!index.empty()) {
      std::string text =
          index + Tr(lang, ": the set has recovery data; parvex verify tells "
                      "whether parvex repair can rebuild a damaged piece");
      p.Notify(text.c_str());
    }
  }
  return status;
}

}  // namespace pvx

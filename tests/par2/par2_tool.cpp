// The PAR2 library as a program, for the shell tests and the bench (a test
// helper; not installed).
//   par2_tool create INDEX N PIECE...   [-s SLICE] [-m MEMORY] [-f]
//   par2_tool verify INDEX
//   par2_tool repair INDEX [-d DIR] [-f]
// Exit status: 0 success, 1 failure (the cause on stderr), 2 usage.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "integrity/par2_create.h"
#include "integrity/par2_repair.h"

using namespace pvx::par2;

namespace {

int Usage() {
  fprintf(stderr,
          "usage: par2_tool create INDEX N PIECE... [-s SLICE] [-m MEMORY] [-f]\n"
          "       par2_tool verify INDEX\n"
          "       par2_tool repair INDEX [-d DIR] [-f]\n");
  return 2;
}

struct Args {
  std::vector<std::string> plain;
  uint64_t slice = 0, memory = kDefaultMemoryLimit;
  std::string dir;
  bool force = false;
};

bool Parse(int argc, char** argv, Args* a) {
  for (int i = 2; i < argc; ++i) {
    std::string s = argv[i];
    if ((s == "-s" || s == "-m" || s == "-d") && i + 1 < argc) {
      std::string v = argv[++i];
      if (s == "-d") a->dir = v;
      else (s == "-s" ? a->slice : a->memory) = strtoull(v.c_str(), nullptr, 10);
    } else if (s == "-f") {
      a->force = true;
    } else {
      a->plain.push_back(s);
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  std::string cmd = argv[1];
  Args a;
  Parse(argc, argv, &a);
  if (cmd == "create") {
    if (a.plain.size() < 3) return Usage();
    CreateOptions o;
    o.index = a.plain[0];
    std::string why;
    if (!ParseRecoveryAmount(a.plain[1], static_cast<uint32_t>(a.plain.size() - 2),
                             &o.recovery_slices, &why)) {
      fprintf(stderr, "par2_tool: %s\n", why.c_str());
      return 1;
    }
    o.pieces.assign(a.plain.begin() + 2, a.plain.end());
    o.slice_size = a.slice;
    o.memory_limit = a.memory;
    if (a.force) o.confirm_replace = [](const std::vector<std::string>&) { return true; };
    CreateResult r = CreateRecovery(o);
    if (!r.ok) {
      fprintf(stderr, "par2_tool: %s\n", r.error.c_str());
      return 1;
    }
    for (const std::string& w : r.written) printf("wrote %s\n", w.c_str());
    return 0;
  }
  if (a.plain.size() != 1) return Usage();
  if (cmd == "verify") {
    VerifyReport v = VerifySet(a.plain[0]);
    if (!v.ok) {
      fprintf(stderr, "par2_tool: %s\n", v.error.c_str());
      return 1;
    }
    for (const std::string& n : v.set.notes) printf("note: %s\n", n.c_str());
    for (const PieceReport& p : v.pieces)
      printf("%s: %s (%llu of %llu slices good)\n", p.name.c_str(),
             PieceStateName(p.state), (unsigned long long)p.good_slices,
             (unsigned long long)p.slices);
    printf("bad slices %llu, recovery slices %llu: %s\n",
           (unsigned long long)v.bad_slices, (unsigned long long)v.recovery_slices,
           v.all_good ? "all good" : v.repairable ? "repairable" : "not repairable");
    return v.all_good ? 0 : 1;
  }
  if (cmd == "repair") {
    RepairOptions o;
    o.output_dir = a.dir;
    o.memory_limit = a.memory;
    if (a.force) o.confirm_replace = [](const std::vector<std::string>&) { return true; };
    RepairResult r = RepairSet(a.plain[0], o);
    for (const std::string& p : r.rebuilt) printf("rebuilt %s\n", p.c_str());
    for (const std::string& p : r.kept_bad) printf("kept %s\n", p.c_str());
    if (!r.ok) {
      fprintf(stderr, "par2_tool: %s\n", r.error.c_str());
      return 1;
    }
    return 0;
  }
  return Usage();
}

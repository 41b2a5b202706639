// The checksum list that travels with a set, in the text format of GNU
// coreutils' sha256sum: "<64 lower-case hex>  <name>\n" per file. Names
// holding a backslash, a line feed or a carriage return are written as
// sha256sum writes them: a backslash opens the line and the name carries
// the escapes \\, \n and \r.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cli/digest.h"
#include "platform/platform.h"

namespace pvx {

struct ListEntry {
  std::string name;  // as the list names it, escapes undone
  Sha256 digest;
};

// Lines longer than this (line feed not counted) are refused unread.
constexpr size_t kMaxListLine = 64 * 1024;
// Lists larger than this are refused.
constexpr uint64_t kMaxListBytes = 16 * 1024 * 1024;

// Why a list could not be read or parsed.
struct ListError {
  enum class Kind {
    kOpen,          // open/read failed; sys_errno says why
    kNotRegular,    // a folder, FIFO, device or socket
    kTooLarge,      // more than kMaxListBytes
    kBinary,        // a NUL byte
    kLineTooLong,   // more than kMaxListLine bytes
    kBadHex,        // the digest holds a non-hex character
    kDigestLength,  // hex digits, but not 64 of them
    kNoName,        // a digest and no file name
    kBadFormat,     // neither "hex  name", "hex *name" nor "TAG (name) = hex"
    kUnknownTag,    // a tagged line of another algorithm; detail = tag
    kBadEscape,     // a backslash-escaped name with an unknown escape
    kNoEntries,     // no checksum line at all (an empty file, say)
    kConflict,      // a name with two different digests; detail: name,
                    // a line feed, the line of the first one
  };
  Kind kind = Kind::kBadFormat;
  std::string file;   // the list's path (or the label given to ParseList)
  uint64_t line = 0;  // 1-based; 0 for the file as a whole
  int sys_errno = 0;  // for kOpen
  std::string detail;
};

// "FILE: line N: cause" (or "FILE: cause") in the user's language; the
// caller adds the program name.
std::string DescribeListError(const ListError& e, Lang lang);

// One list line for name, escaped as sha256sum escapes it, ending in "\n".
std::string FormatListLine(std::string_view name, const Sha256& digest);
// All entries' lines, in order.
std::string FormatList(const std::vector<ListEntry>& entries);

// A parsed list: entries in file order. Accepts "hex  name", "hex *name",
// "SHA256 (name) = hex", the backslash-escaped forms of each, CRLF line
// ends, upper-case hex, leading blanks; skips empty lines and '#' comments.
class ChecksumList {
 public:
  // Parses text; label names it in errors. False + *why on the first fault.
  bool Parse(std::string_view text, const std::string& label, ListError* why);
  // Reads and parses the regular file at path in bounded memory.
  bool Load(const std::string& path, ListError* why);

  // One entry per name, in the order of their first lines: a name listed
  // again with the same digest is taken once, with another digest it is a
  // kConflict. "./name" is read as name.
  const std::vector<ListEntry>& entries() const { return entries_; }
  // The entry named exactly name, or null.
  const ListEntry* Find(std::string_view name) const;

 private:
  friend class ListReader;
  void Clear();
  std::vector<ListEntry> entries_;
  std::vector<uint64_t> lines_;  // the line each entry stands on
  std::unordered_map<std::string, size_t> index_;  // name -> entries_ index
};

}  // namespace pvx

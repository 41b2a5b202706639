#include "integrity/sha256_list.h"

#include <ctype.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engines/own_texts.h"

namespace pvx {

// ---- messages ---------------------------------------------------------------

static const char* NotRegularWhat(const std::string& what, Lang lang) {
  if (what == "folder") return Tr(lang, "a folder");
  if (what == "fifo") return Tr(lang, "a FIFO");
  if (what == "device") return Tr(lang, "a device");
  if (what == "socket") return Tr(lang, "a socket");
  return Tr(lang, "a special file");
}

std::string DescribeListError(const ListError& e, Lang lang) {
  std::string s = e.file + ": ";
  if (e.line) {
    s += TrF(lang, "line %u: ", static_cast<unsigned>(e.line));
  }
  using K = ListError::Kind;
  switch (e.kind) {
    case K::kOpen:
      s += strerror(e.sys_errno);
      break;
    case K::kNotRegular:
      s += TrF(lang, "not a regular file but %s",
               NotRegularWhat(e.detail, lang));
      break;
    case K::kTooLarge:
      s += Tr(lang, "larger than 16 MiB, not a checksum list");
      break;
    case K::kBinary:
      s += Tr(lang, "binary data (a NUL byte), not a checksum list");
      break;
    case K::kLineTooLong:
      s +=
          TrF(lang, "longer than %zu bytes", static_cast<size_t>(kMaxListLine));
      break;
    case K::kBadHex:
      s += Tr(lang, "the digest is not hexadecimal");
      break;
    case K::kDigestLength:
      s += TrF(lang, "the digest has %s hex digits, not 64", e.detail.c_str());
      break;
    case K::kNoName:
      s += Tr(lang, "a digest without a file name");
      break;
    case K::kBadFormat:
      s += Tr(lang, "not a SHA-256 checksum line");
      break;
    case K::kUnknownTag:
      s += TrF(lang, "a %s checksum, not SHA256", e.detail.c_str());
      break;
    case K::kBadEscape:
      s += Tr(lang, "an unknown escape in the file name");
      break;
    case K::kNoEntries:
      s += Tr(lang, "no checksum lines");
      break;
    case K::kConflict: {
      // detail: the name, a line feed, the line of its first digest.
      size_t cut = e.detail.rfind('\n');
      std::string name = e.detail.substr(0, cut);
      std::string first = e.detail.substr(cut + 1);
      s += TrF(lang,
               "a second, different digest for %s (the first is on line %s)",
               name.c_str(), first.c_str());
      break;
    }
  }
  return s;
}

// ---- writing ----------------------------------------------------------------

std::string FormatListLine(std::string_view name, const Sha256& digest) {
  bool escape = name.find_first_of("\\\n\r") != std::string_view::npos;
  std::string line;
  line.reserve(name.size() + 70);
  if (escape) line += '\\';
  line += ToHex(digest);
  line += "  ";
  for (char c : name) {
    if (!escape) {
      line += c;
    } else if (c == '\\') {
      line += "\\\\";
    } else if (c == '\n') {
      line += "\\n";
    } else if (c == '\r') {
      line += "\\r";
    } else {
      line += c;
    }
  }
  line += '\n';
  return line;
}

std::string FormatList(const std::vector<ListEntry>& entries) {
  std::string text;
  for (const ListEntry& e : entries) text += FormatListLine(e.name, e.digest);
  return text;
}

// ---- reading ----------------------------------------------------------------

static bool IsBlank(char c) { return c == ' ' || c == '\t'; }
static bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') ||
         (c >= 'A' && c <= 'F');
}

// Splits bytes into lines (bounded in length) and parses each into list.
class ListReader {
 public:
  ListReader(ChecksumList* list, const std::string& label, ListError* why)
      : list_(list), label_(label), why_(why) {}

  bool Feed(const char* p, size_t n);
  bool End();

 private:
  bool Fail(ListError::Kind kind, std::string detail = "") {
    why_->kind = kind;
    why_->file = label_;
    why_->line = line_no_;
    why_->sys_errno = 0;
    why_->detail = std::move(detail);
    return false;
  }
  bool Line(std::string_view s);
  bool Unescape(std::string_view in, std::string* out);

  ChecksumList* list_;
  const std::string& label_;
  ListError* why_;
  std::string pending_;  // the current line's bytes so far
  uint64_t line_no_ = 1;
};

bool ListReader::Feed(const char* p, size_t n) {
  while (n) {
    const char* nl = static_cast<const char*>(memchr(p, '\n', n));
    size_t take = nl ? static_cast<size_t>(nl - p) : n;
    if (memchr(p, '\0', take)) return Fail(ListError::Kind::kBinary);
    if (pending_.size() + take > kMaxListLine)
      return Fail(ListError::Kind::kLineTooLong);
    if (!nl) {
      pending_.append(p, take);
      return true;
    }
    bool ok;
    if (pending_.empty()) {
      ok = Line(std::string_view(p, take));
    } else {
      pending_.append(p, take);
      ok = Line(pending_);
      pending_.clear();
    }
    if (!ok) return false;
    ++line_no_;
    p += take + 1;
    n -= take + 1;
  }
  return true;
}

bool ListReader::End() {
  if (!pending_.empty()) {
    if (!Line(pending_)) return false;
    pending_.clear();
  }
  if (list_->entries_.empty()) {
    line_no_ = 0;
    return Fail(ListError::Kind::kNoEntries);
  }
  return true;
}

bool ListReader::Unescape(std::string_view in, std::string* out) {
  out->clear();
  out->reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\\') {
      *out += in[i];
      continue;
    }
    if (++i == in.size()) return Fail(ListError::Kind::kBadEscape);
    switch (in[i]) {
      case '\\': *out += '\\'; break;
      case 'n': *out += '\n'; break;
      case 'r': *out += '\r'; break;
      default: return Fail(ListError::Kind::kBadEscape);
    }
  }
  return true;
}

bool ListReader::Line(std::string_view s) {
  using K = ListError::Kind;
  if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  s.remove_prefix(i);
  if (s.empty() || s[0] == '#') return true;
  bool escaped = s[0] == '\\';
  if (escaped) s.remove_prefix(1);

  ListEntry entry;
  std::string_view name;
  size_t hex = 0;
  while (hex < s.size() && IsHex(s[hex])) ++hex;
  if (hex > 0 && (hex == s.size() || IsBlank(s[hex]))) {
    // "hex  name" or "hex *name"
    if (hex != 64) return Fail(K::kDigestLength, std::to_string(hex));
    FromHex(s.substr(0, 64), &entry.digest);
    if (s.size() <= 65) return Fail(K::kNoName);
    if (s[65] != ' ' && s[65] != '*') return Fail(K::kBadFormat);
    name = s.substr(66);
  } else {
    // "TAG (name) = hex"
    size_t t = 0;
    while (t < s.size() && (isalnum(static_cast<unsigned char>(s[t])) ||
                            s[t] == '-' || s[t] == '_'))
      ++t;
    std::string_view tag = s.substr(0, t);
    size_t open = t < s.size() && s[t] == ' ' ? t + 1 : t;
    if (t == 0 || open >= s.size() || s[open] != '(') {
      // A digest run into other text, or no digest at all.
      return Fail(hex > 0 && hex != 64 ? K::kBadHex : K::kBadFormat);
    }
    if (tag != "SHA256" && tag != "SHA2-256")
      return Fail(K::kUnknownTag, std::string(tag));
    size_t close = s.rfind(')');
    if (close == std::string_view::npos || close <= open)
      return Fail(K::kBadFormat);
    name = s.substr(open + 1, close - open - 1);
    size_t j = close + 1;
    while (j < s.size() && IsBlank(s[j])) ++j;
    if (j == s.size() || s[j] != '=') return Fail(K::kBadFormat);
    ++j;
    while (j < s.size() && IsBlank(s[j])) ++j;
    std::string_view digits = s.substr(j);
    for (char c : digits)
      if (!IsHex(c)) return Fail(K::kBadHex);
    if (digits.size() != 64)
      return Fail(K::kDigestLength, std::to_string(digits.size()));
    FromHex(digits, &entry.digest);
  }
  if (name.empty()) return Fail(K::kNoName);
  if (escaped) {
    if (!Unescape(name, &entry.name)) return false;
  } else {
    entry.name.assign(name);
  }
  // "./name" names name, as sha256sum -c opens it.
  while (entry.name.size() > 2 && entry.name.compare(0, 2, "./") == 0)
    entry.name.erase(0, 2);
  auto [at, fresh] =
      list_->index_.try_emplace(entry.name, list_->entries_.size());
  if (!fresh) {
    const ListEntry& first = list_->entries_[at->second];
    if (first.digest != entry.digest)
      return Fail(K::kConflict, entry.name + "\n" +
                                    std::to_string(list_->lines_[at->second]));
    return true;  // the same digest again
  }
  list_->entries_.push_back(std::move(entry));
  list_->lines_.push_back(line_no_);
  return true;
}

void ChecksumList::Clear() {
  entries_.clear();
  lines_.clear();
  index_.clear();
}

bool ChecksumList::Parse(std::string_view text, const std::string& label,
                         ListError* why) {
  Clear();
  if (text.size() > kMaxListBytes) {
    *why = ListError{ListError::Kind::kTooLarge, label, 0, 0, ""};
    return false;
  }
  ListReader reader(this, label, why);
  return reader.Feed(text.data(), text.size()) && reader.End();
}

bool ChecksumList::Load(const std::string& path, ListError* why) {
  Clear();
  auto fail = [&](ListError::Kind kind, int err, const char* detail) {
    *why = ListError{kind, path, 0, err, detail};
    return false;
  };
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return fail(ListError::Kind::kOpen, errno, "");
  struct FdCloser {
    int fd;
    ~FdCloser() { close(fd); }
  } closer{fd};
  struct stat st;
  if (fstat(fd, &st) != 0) return fail(ListError::Kind::kOpen, errno, "");
  if (!S_ISREG(st.st_mode)) {
    const char* what = S_ISDIR(st.st_mode)    ? "folder"
                       : S_ISFIFO(st.st_mode) ? "fifo"
                       : S_ISSOCK(st.st_mode) ? "socket"
                       : (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
                           ? "device"
                           : "other";
    return fail(ListError::Kind::kNotRegular, 0, what);
  }
  if (static_cast<uint64_t>(st.st_size) > kMaxListBytes)
    return fail(ListError::Kind::kTooLarge, 0, "");
  ListReader reader(this, path, why);
  std::vector<char> buf(64 * 1024);
  uint64_t total = 0;
  for (;;) {
    ssize_t n = read(fd, buf.data(), buf.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(ListError::Kind::kOpen, errno, "");
    }
    if (n == 0) break;
    total += static_cast<uint64_t>(n);
    if (total > kMaxListBytes) return fail(ListError::Kind::kTooLarge, 0, "");
    if (!reader.Feed(buf.data(), static_cast<size_t>(n))) return false;
  }
  return reader.End();
}

const ListEntry* ChecksumList::Find(std::string_view name) const {
  auto it = index_.find(std::string(name));
  return it == index_.end() ? nullptr : &entries_[it->second];
}

}  // namespace pvx

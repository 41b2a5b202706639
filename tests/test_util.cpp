#include "tests/test_util.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace pvx::test {

TempDir::TempDir() {
  const char* base = getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/pvx-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back(0);
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : v) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 16);
  }
  return v;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()),
          static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw std::runtime_error("cannot read " + path);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

uint64_t FileSize(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) throw std::runtime_error("no " + path);
  return static_cast<uint64_t>(st.st_size);
}

std::vector<std::string> List(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<uint8_t> FakeStub(uint32_t sections) {
  const uint32_t pe = 0x80, table = pe + 248, raw = 0x200;
  std::vector<uint8_t> img(raw + sections * 0x200, 0xCC);
  std::fill(img.begin(), img.begin() + raw, 0);
  img[0] = 'M';
  img[1] = 'Z';
  img[0x3C] = pe;
  img[pe] = 'P';
  img[pe + 1] = 'E';
  img[pe + 6] = static_cast<uint8_t>(sections);
  for (uint32_t i = 0; i < sections; ++i) {
    uint8_t* e = &img[table + i * 40];
    e[0] = '.';
    e[1] = 's';
    uint32_t ptr = raw + i * 0x200, size = 0x200;
    for (int b = 0; b < 4; ++b) {
      e[16 + b] = static_cast<uint8_t>(size >> (8 * b));
      e[20 + b] = static_cast<uint8_t>(ptr >> (8 * b));
    }
  }
  return img;
}

}  // namespace pvx::test

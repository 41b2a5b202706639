// Temporary folders and file contents for the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pvx::test {

// A fresh folder under $TMPDIR, removed with everything in it at scope end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const {
    return path_ + "/" + name;
  }

 private:
  std::string path_;
};

std::vector<uint8_t> Pattern(size_t n, uint32_t seed = 1);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFile(const std::string& path);
bool Exists(const std::string& path);
uint64_t FileSize(const std::string& path);
std::vector<std::string> List(const std::string& folder);
// A minimal PE32 image whose section walk ends at its last byte.
std::vector<uint8_t> FakeStub(uint32_t sections = 2);

}  // namespace pvx::test

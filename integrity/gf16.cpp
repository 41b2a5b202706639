#include "integrity/gf16.h"

extern "C" {
#include <gf_complete.h>
}

#include <stdexcept>

namespace pvx::par2 {

struct Field::Impl {
  gf_t gf;
};

Field::Field() : impl_(new Impl) {
  if (!gf_init_easy(&impl_->gf, 16))
    throw std::runtime_error("gf-complete cannot set up GF(2^16)");
}
Field::~Field() { gf_free(&impl_->gf, 1); }

uint16_t Field::Mul(uint16_t a, uint16_t b) const {
  return static_cast<uint16_t>(impl_->gf.multiply.w32(&impl_->gf, a, b));
}
uint16_t Field::Div(uint16_t a, uint16_t b) const {
  return static_cast<uint16_t>(impl_->gf.divide.w32(&impl_->gf, a, b));
}
uint16_t Field::Pow(uint16_t a, uint32_t e) const {
  uint16_t r = 1;
  while (e) {
    if (e & 1) r = Mul(r, a);
    a = Mul(a, a);
    e >>= 1;
  }
  return r;
}
void Field::MulRegion(const uint8_t* src, uint8_t* dst, uint16_t val,
                      size_t len, bool add) const {
  // gf-complete takes an int length: work in pieces well below 2 GiB.
  const size_t step = size_t(1) << 30;
  while (len) {
    size_t n = len < step ? len : step;
    impl_->gf.multiply_region.w32(&impl_->gf, const_cast<uint8_t*>(src), dst,
                                  val, static_cast<int>(n), add ? 1 : 0);
    src += n;
    dst += n;
    len -= n;
  }
}

namespace {
uint32_t Gcd(uint32_t a, uint32_t b) {
  while (b) {
    uint32_t t = a % b;
    a = b;
    b = t;
  }
  return a;
}
}  // namespace

std::vector<uint16_t> InputConstants(const Field& f, uint32_t count) {
  std::vector<uint16_t> c;
  c.reserve(count);
  uint32_t log = 1;
  while (c.size() < count) {
    while (Gcd(65535, log) != 1) ++log;
    c.push_back(f.Pow(2, log++));
  }
  return c;
}

uint16_t InputConstant(const Field& f, uint32_t i) {
  return InputConstants(f, i + 1).back();
}

bool Invert(const Field& f, Matrix* m) {
  const size_t n = m->n;
  Matrix inv;
  inv.n = n;
  inv.a.assign(n * n, 0);
  for (size_t i = 0; i < n; ++i) inv.at(i, i) = 1;
  for (size_t col = 0; col < n; ++col) {
    size_t pivot = col;
    while (pivot < n && m->at(pivot, col) == 0) ++pivot;
    if (pivot == n) return false;
    if (pivot != col)
      for (size_t c = 0; c < n; ++c) {
        std::swap(m->at(pivot, c), m->at(col, c));
        std::swap(inv.at(pivot, c), inv.at(col, c));
      }
    const uint16_t p = m->at(col, col);
    for (size_t c = 0; c < n; ++c) {
      m->at(col, c) = f.Div(m->at(col, c), p);
      inv.at(col, c) = f.Div(inv.at(col, c), p);
    }
    for (size_t r = 0; r < n; ++r) {
      const uint16_t k = m->at(r, col);
      if (r == col || k == 0) continue;
      // Subtraction is addition (XOR) in GF(2^16).
      for (size_t c = 0; c < n; ++c) {
        m->at(r, c) ^= f.Mul(k, m->at(col, c));
        inv.at(r, c) ^= f.Mul(k, inv.at(col, c));
      }
    }
  }
  *m = std::move(inv);
  return true;
}

std::vector<size_t> IndependentRows(const Field& f,
                                    const std::vector<uint16_t>& rows_data,
                                    size_t rows, size_t cols) {
  // Reduces each candidate against the rows kept so far (kept rows are
  // stored reduced, with a leading 1 in their pivot column).
  std::vector<std::vector<uint16_t>> basis;
  std::vector<size_t> pivots, chosen;
  for (size_t r = 0; r < rows && chosen.size() < cols; ++r) {
    std::vector<uint16_t> v(rows_data.begin() + r * cols,
                            rows_data.begin() + (r + 1) * cols);
    for (size_t b = 0; b < basis.size(); ++b) {
      const uint16_t k = v[pivots[b]];
      if (!k) continue;
      for (size_t c = 0; c < cols; ++c) v[c] ^= f.Mul(k, basis[b][c]);
    }
    size_t p = 0;
    while (p < cols && v[p] == 0) ++p;
    if (p == cols) continue;  // depends on the rows kept
    const uint16_t lead = v[p];
    for (uint16_t& x : v) x = f.Div(x, lead);
    basis.push_back(std::move(v));
    pivots.push_back(p);
    chosen.push_back(r);
  }
  if (chosen.size() < cols) chosen.clear();
  return chosen;
}

}  // namespace pvx::par2

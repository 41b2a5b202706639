// GF(2^16) with the generator 0x1100B, as the PAR 2.0 format uses it, from
// gf-complete (its default field for w=16). Each thread keeps its own
// Field. The one piece of field arithmetic written here is the inversion
// of the small matrix a repair solves.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <vector>

namespace pvx::par2 {

class Field {
 public:
  Field();  // throws std::runtime_error when gf-complete cannot start
  ~Field();
  Field(const Field&) = delete;
  Field& operator=(const Field&) = delete;

  uint16_t Mul(uint16_t a, uint16_t b) const;
  uint16_t Div(uint16_t a, uint16_t b) const;  // b != 0
  uint16_t Pow(uint16_t a, uint32_t e) const;
  // dst (+)= val * src over len bytes (a multiple of 2) of little-endian
  // 16-bit words; src and dst have the same alignment modulo 16.
  void MulRegion(const uint8_t* src, uint8_t* dst, uint16_t val, size_t len,
                 bool add) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The constant of input slice i (0-based): 2 to the power of the i-th
// number from 1 on that shares no factor with 65535.
uint16_t InputConstant(const Field& f, uint32_t i);
// The same for slices 0..count-1 at once.
std::vector<uint16_t> InputConstants(const Field& f, uint32_t count);

// A square matrix over GF(2^16), row by row.
struct Matrix {
  size_t n = 0;
  std::vector<uint16_t> a;  // n * n
  uint16_t& at(size_t r, size_t c) { return a[r * n + c]; }
  uint16_t at(size_t r, size_t c) const { return a[r * n + c]; }
};

// Inverts m in place by Gauss-Jordan elimination; false when it is
// singular (m is then undefined).
bool Invert(const Field& f, Matrix* m);

// From `rows` candidate rows of `cols` entries each, picks `cols` rows that
// are linearly independent (in order of preference); empty when there are
// not that many.
std::vector<size_t> IndependentRows(const Field& f,
                                    const std::vector<uint16_t>& rows_data,
                                    size_t rows, size_t cols);

}  // namespace pvx::par2

// Internal to online/: one AES block (FIPS-197) at a time over OpenSSL's libcrypto. The
// chaining and the final-block rule stay in the block layer (lb_rijndael.h).
//
// An object is used by one thread at a time; it owns its OpenSSL context.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace kalvira::online_internal {

class AesBlock {
 public:
  static constexpr std::size_t kBlockSize = 16;
  enum class Direction { kEncrypt, kDecrypt };

  // `key` holds 16, 24 or 32 bytes (AES-128, -192, -256). Throws kalvira::Exception when
  // the key length is another or libcrypto refuses the set-up.
  AesBlock(std::span<const std::uint8_t> key, Direction direction);
  ~AesBlock();
  AesBlock(const AesBlock&) = delete;
  AesBlock& operator=(const AesBlock&) = delete;

  // `in` and `out` may be the same block.
  void Process(const std::uint8_t* in, std::uint8_t* out);

 private:
  struct Context;
  std::unique_ptr<Context> context_;
};

}  // namespace kalvira::online_internal

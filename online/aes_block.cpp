#include "online/aes_block.h"

#include <openssl/evp.h>

#include "base/exception.h"

namespace kalvira::online_internal {

struct AesBlock::Context {
  EVP_CIPHER_CTX* ctx = nullptr;
  ~Context() { EVP_CIPHER_CTX_free(ctx); }
};

AesBlock::AesBlock(std::span<const std::uint8_t> key, Direction direction)
    : context_(std::make_unique<Context>()) {
  const EVP_CIPHER* cipher = nullptr;
  switch (key.size()) {
    case 16:
      cipher = EVP_aes_128_ecb();
      break;
    case 24:
      cipher = EVP_aes_192_ecb();
      break;
    case 32:
      cipher = EVP_aes_256_ecb();
      break;
    default:
      throw Exception("AES key of unsupported length");
  }
  context_->ctx = EVP_CIPHER_CTX_new();
  if (context_->ctx == nullptr ||
      EVP_CipherInit_ex(context_->ctx, cipher, nullptr, key.data(), nullptr,
                        direction == Direction::kEncrypt ? 1 : 0) != 1 ||
      EVP_CIPHER_CTX_set_padding(context_->ctx, 0) != 1) {
    throw Exception("AES set-up failed");
  }
}

AesBlock::~AesBlock() = default;

void AesBlock::Process(const std::uint8_t* in, std::uint8_t* out) {
  int written = 0;
  if (EVP_CipherUpdate(context_->ctx, out, &written, in, static_cast<int>(kBlockSize)) != 1 ||
      written != static_cast<int>(kBlockSize)) {
    throw Exception("AES block operation failed");
  }
}

}  // namespace kalvira::online_internal

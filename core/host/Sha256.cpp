#include "host/Sha256.h"

#include <openssl/evp.h>

#include <new>
#include <stdexcept>

namespace bf {

namespace {

EVP_MD_CTX* Context(void* context) {
  return static_cast<EVP_MD_CTX*>(context);
}

void Start(void* context) {
  if (EVP_DigestInit_ex(Context(context), EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("SHA-256 is not available");
  }
}

}  // namespace

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
  if (context_ == nullptr) throw std::bad_alloc();
  try {
    Start(context_);
  } catch (...) {
    EVP_MD_CTX_free(Context(context_));
    throw;
  }
}

Sha256::~Sha256() {
  EVP_MD_CTX_free(Context(context_));
}

void Sha256::Update(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return;
  if (EVP_DigestUpdate(Context(context_), bytes.data(), bytes.size()) != 1) {
    throw std::runtime_error("SHA-256 update failed");
  }
}

std::string Sha256::FinishHex() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(Context(context_), digest, &length) != 1) {
    throw std::runtime_error("SHA-256 failed");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(length * 2);
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 0x0F];
  }
  Start(context_);
  return hex;
}

std::string Sha256Hex(std::span<const uint8_t> bytes) {
  Sha256 sha;
  sha.Update(bytes);
  return sha.FinishHex();
}

}  // namespace bf

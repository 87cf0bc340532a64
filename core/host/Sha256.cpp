#include "host/Sha256.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>
#else
#include <openssl/evp.h>
#endif

#include <algorithm>
#include <new>
#include <stdexcept>

namespace bf {

namespace {

std::string Hex(const unsigned char* digest, std::size_t length) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(length * 2);
  for (std::size_t i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 0x0F];
  }
  return hex;
}

}  // namespace

#ifdef _WIN32

struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  State() {
    if (!BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
      throw std::runtime_error("SHA-256 is not available");
    }
    Start();
  }
  ~State() {
    if (hash != nullptr) BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
  }
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  void Start() {
    if (hash != nullptr) BCryptDestroyHash(hash);
    hash = nullptr;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) {
      throw std::runtime_error("SHA-256 is not available");
    }
  }
  void Update(std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
      const auto part = static_cast<ULONG>(std::min<std::size_t>(bytes.size(), 1u << 30));
      if (!BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(bytes.data()), part, 0))) {
        throw std::runtime_error("SHA-256 update failed");
      }
      bytes = bytes.subspan(part);
    }
  }
  std::string Finish() {
    unsigned char digest[32];
    if (!BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, sizeof digest, 0))) {
      throw std::runtime_error("SHA-256 failed");
    }
    Start();
    return Hex(digest, sizeof digest);
  }
};

#else

struct Sha256::State {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  State() {
    if (context == nullptr) throw std::bad_alloc();
    try {
      Start();
    } catch (...) {
      EVP_MD_CTX_free(context);
      throw;
    }
  }
  ~State() { EVP_MD_CTX_free(context); }
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  void Start() {
    if (EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1) {
      throw std::runtime_error("SHA-256 is not available");
    }
  }
  void Update(std::span<const uint8_t> bytes) {
    if (bytes.empty()) return;
    if (EVP_DigestUpdate(context, bytes.data(), bytes.size()) != 1) {
      throw std::runtime_error("SHA-256 update failed");
    }
  }
  std::string Finish() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context, digest, &length) != 1) {
      throw std::runtime_error("SHA-256 failed");
    }
    Start();
    return Hex(digest, length);
  }
};

#endif

Sha256::Sha256() : state_(std::make_unique<State>()) {}

Sha256::~Sha256() = default;

void Sha256::Update(std::span<const uint8_t> bytes) {
  state_->Update(bytes);
}

std::string Sha256::FinishHex() {
  return state_->Finish();
}

std::string Sha256Hex(std::span<const uint8_t> bytes) {
  Sha256 sha;
  sha.Update(bytes);
  return sha.FinishHex();
}

}  // namespace bf

// The hash behind the copy records against the standard's test vectors, on every platform's
// library, fed whole and in pieces.
#include "host/Sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace bf {
namespace {

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST(Sha256, StandardVectors) {
  EXPECT_EQ(Sha256Hex(Bytes("")),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex(Bytes("abc")),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex(Bytes("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(Sha256, PiecesGiveTheWholesDigestAndFinishStartsOver) {
  const std::string million(1'000'000, 'a');
  Sha256 sha;
  for (std::size_t at = 0; at < million.size(); at += 4099) {
    sha.Update(Bytes(million.substr(at, 4099)));
  }
  EXPECT_EQ(sha.FinishHex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  sha.Update(Bytes("abc"));
  EXPECT_EQ(sha.FinishHex(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

}  // namespace
}  // namespace bf

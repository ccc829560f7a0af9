#include "FernwickCore/Platform/Sha256.h"

#include <gtest/gtest.h>

namespace fernwick {
namespace {

TEST(Sha256, KnownDigestsInPiecesOrWhole) {
    EXPECT_EQ(Sha256::hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256::hex("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::string million(1000000, 'a');
    Sha256 pieces;
    for (std::size_t i = 0; i < million.size(); i += 999) {
        pieces.update(million.data() + i, std::min<std::size_t>(999, million.size() - i));
    }
    EXPECT_EQ(pieces.finishHex(),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

} // namespace
} // namespace fernwick

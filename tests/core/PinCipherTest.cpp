#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "core/PinCipher.h"
#include "support/TempHome.h"

namespace {

TEST(PinCipherTest, RoundTripAndKeyOnlyForTheUser) {
    TempHome home;
    for (std::string pin : {"1234", "", "98765432", "ñ€"}) {
        std::vector<uint8_t> sealed;
        ASSERT_TRUE(Encriptar(pin, sealed));
        std::string back = "x";
        ASSERT_TRUE(Desencriptar(sealed, back));
        EXPECT_EQ(back, pin);
    }
    struct stat st {};
    ASSERT_EQ(::stat(PinKeyFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // The same PIN seals differently each time (fresh nonce).
    std::vector<uint8_t> a, b;
    Encriptar("1234", a);
    Encriptar("1234", b);
    EXPECT_NE(a, b);
}

TEST(PinCipherTest, AlteredOrForeignBytesAreRefused) {
    std::vector<uint8_t> sealed;
    {
        TempHome home;
        ASSERT_TRUE(Encriptar("1234", sealed));
        std::vector<uint8_t> altered = sealed;
        altered.back() ^= 1;
        std::string text = "kept";
        std::string error;
        EXPECT_FALSE(Desencriptar(altered, text, &error));
        EXPECT_EQ(text, "kept");
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(Desencriptar({1, 2, 3}, text));
    }
    // Another installation has another key.
    TempHome other;
    std::string text;
    std::vector<uint8_t> mine;
    Encriptar("0000", mine);
    EXPECT_FALSE(Desencriptar(sealed, text));
}

TEST(PinCipherTest, DamagedKeyFileIsNamedInTheError) {
    TempHome home;
    std::vector<uint8_t> sealed;
    ASSERT_TRUE(Encriptar("1234", sealed));
    std::ofstream(PinKeyFile(), std::ios::trunc) << "short";
    std::string text;
    std::string error;
    EXPECT_FALSE(Desencriptar(sealed, text, &error));
    EXPECT_NE(error.find(PinKeyFile().string()), std::string::npos) << error;
    EXPECT_FALSE(Encriptar("1234", sealed, &error));
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;
}

}  // namespace

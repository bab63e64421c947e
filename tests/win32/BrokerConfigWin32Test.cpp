// The class's broker configuration as the Windows broker (Mosquitto built
// with MinGW, libwebsockets without TLS) reads it.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "class/BrokerConfig.h"
#include "support/TempDir.h"

namespace vantrel {
namespace {

using classlink::tBrokerConfig;
using classlink::tBrokerConfigOptions;

std::string readText(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// libwebsockets on Windows binds an address and cannot resolve an interface
// name: a phones' listener on "lo" would open no socket at all. And with no
// TLS library the broker compares the password file's text as it stands.
TEST(BrokerConfigWin32Test, TheWindowsBrokerGetsAnAddressAndPlainPasswords) {
    for (const char* loopback : {"127.0.0.1", "localhost", "::1"}) {
        SCOPED_TRACE(loopback);
        test::tTempDir dir;
        tBrokerConfigOptions options;
        options.className = "9b";
        options.listenAddress = loopback;
        options.port = 18830;
        options.webSocketPort = 18080;
        const tBrokerConfig config = writeClassBrokerConfig(dir.file("broker"), options);

        const std::string text = readText(config.configFile);
        EXPECT_NE(
            text.find("\nlistener 18080 127.0.0.1\nsocket_domain ipv4\nprotocol websockets\n"),
            std::string::npos)
            << text;

        const std::string passwords =
            readText(config.passwordFile) + readText(dir.file("broker/viewers"));
        ASSERT_EQ(config.accounts.size(), 3u);
        for (const auto& account : config.accounts) {
            EXPECT_NE(passwords.find(account.user + ":" + account.password + "\n"),
                      std::string::npos)
                << passwords;
        }
    }
}

}  // namespace
}  // namespace vantrel

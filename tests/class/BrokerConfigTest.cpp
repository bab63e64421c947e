#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "class/BrokerConfig.h"
#include "class/TestBroker.h"
#include "cli/CliCommands.h"
#include "support/TempDir.h"

namespace vantrel::classlink {
namespace {

using test::tTestBroker;

// One MQTT 5 client driven from the test's thread: the broker's answers
// (CONNACK, PUBACK reason codes) say what it allowed.
class tProbe {
public:
    tProbe(int port, const std::string& user, const std::string& password,
           const std::string& clientId) {
        mosquitto_lib_init();
        mosq_ = mosquitto_new(clientId.c_str(), true, this);
        mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
        if (!user.empty()) {
            mosquitto_username_pw_set(mosq_, user.c_str(), password.c_str());
        }
        mosquitto_connect_v5_callback_set(
            mosq_, [](mosquitto*, void* self, int rc, int, const mosquitto_property*) {
                static_cast<tProbe*>(self)->connack_ = rc;
            });
        mosquitto_publish_v5_callback_set(
            mosq_, [](mosquitto*, void* self, int, int reason, const mosquitto_property*) {
                static_cast<tProbe*>(self)->puback_ = reason;
            });
        mosquitto_message_v5_callback_set(
            mosq_, [](mosquitto*, void* self, const mosquitto_message* message,
                      const mosquitto_property*) {
                static_cast<tProbe*>(self)->received_.insert(message->topic);
            });
        if (mosquitto_connect(mosq_, "127.0.0.1", port, 30) == MOSQ_ERR_SUCCESS) {
            Wait([this] { return connack_ >= 0; }, 3000);
        }
    }
    ~tProbe() {
        mosquitto_disconnect(mosq_);
        mosquitto_destroy(mosq_);
        mosquitto_lib_cleanup();
    }
    tProbe(const tProbe&) = delete;
    tProbe& operator=(const tProbe&) = delete;

    bool Connected() const { return connack_ == 0; }

    // QoS 1, so that the broker answers; true when it took the message.
    bool Publish(const std::string& topic, bool retain = false) {
        puback_ = -1;
        if (mosquitto_publish(mosq_, nullptr, topic.c_str(), 1, "x", 1, retain) !=
            MOSQ_ERR_SUCCESS) {
            return false;
        }
        Wait([this] { return puback_ >= 0; }, 3000);
        // Below 0x80 is success, "no matching subscribers" (0x10) included.
        return puback_ >= 0 && puback_ < 0x80;
    }

    // Whether the retained message on `topic` reaches this client. The
    // broker grants every subscription and filters what it delivers.
    bool Reads(const std::string& topic) {
        mosquitto_subscribe(mosq_, nullptr, topic.c_str(), 1);
        Wait([&] { return received_.count(topic) != 0; }, 500);
        return received_.count(topic) != 0;
    }

private:
    void Wait(const std::function<bool()>& done, int ms) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            if (mosquitto_loop(mosq_, 20, 1) != MOSQ_ERR_SUCCESS) {
                return;
            }
        }
    }

    mosquitto* mosq_ = nullptr;
    int connack_ = -1;
    int puback_ = -1;
    std::set<std::string> received_;
};

// What a plain HTTP request to `address`:`port` gets back; empty when the
// connection is refused.
std::string httpGet(in_addr_t address, int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval timeout{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = address;
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
        const std::string request =
            "GET /index.html HTTP/1.1\r\nHost: vantrel\r\nConnection: close\r\n\r\n";
        if (::send(fd, request.data(), request.size(), 0) > 0) {
            char buffer[4096];
            for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
                answer.append(buffer, static_cast<std::size_t>(n));
            }
        }
    }
    ::close(fd);
    return answer;
}

// This computer's IPv4 addresses other than loopback.
std::vector<in_addr_t> outwardAddresses() {
    std::vector<in_addr_t> found;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return found;
    }
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr != nullptr && a->ifa_addr->sa_family == AF_INET) {
            const in_addr_t address = reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr;
            if ((ntohl(address) >> 24) != 127) {
                found.push_back(address);
            }
        }
    }
    ::freeifaddrs(list);
    return found;
}

// The generated configuration, its listener moved to the test's free port.
std::string onTestPort(const tBrokerConfig& config) {
    std::ifstream in(config.configFile);
    std::stringstream text;
    text << in.rdbuf();
    std::string conf = text.str();
    const std::string listener = "listener 1883 127.0.0.1\n";
    const std::size_t at = conf.find(listener);
    EXPECT_NE(at, std::string::npos) << conf;
    if (at != std::string::npos) {
        conf.replace(at, listener.size(),
                     "listener " + std::string(tTestBroker::kPort) + " 127.0.0.1\n");
    }
    return conf + "log_dest stderr\nlog_type all\n";
}

TEST(BrokerConfigTest, TheBrokerConfinesEachAccountToItsPartOfTheClass) {
    test::tTempDir dir;
    ::chmod(dir.path().c_str(), 0755);  // the broker may read it as another user
    tBrokerConfigOptions options;
    options.className = "8B";
    options.listenAddress = "127.0.0.1";
    options.webSocketPort = test::freeLoopbackPort();
    options.httpDir = dir.file("www");
    std::filesystem::create_directory(options.httpDir);
    std::ofstream(dir.file("www/index.html")) << "the phones' page";
    options.teacherPassword = "Teacher-1";
    const tBrokerConfig config = writeClassBrokerConfig(dir.file("broker"), options);
    std::string password[3];
    for (const tBrokerAccount& account : config.accounts) {
        const int i = account.user == "teacher" ? 0 : account.user == "station" ? 1 : 2;
        password[i] = account.password;
    }
    ASSERT_EQ(password[0], "Teacher-1");

    // Hashed, and readable by nobody else.
    for (const std::string& name : {config.passwordFile, dir.file("broker/viewers")}) {
        std::ifstream file(name);
        const std::string hashed{std::istreambuf_iterator<char>(file), {}};
        EXPECT_NE(hashed, "") << name;
        for (const std::string& p : password) {
            EXPECT_EQ(hashed.find(p), std::string::npos) << name;
        }
        struct stat info {};
        ASSERT_EQ(::stat(name.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 077, 0u) << name;
    }

    tTestBroker broker(tTestBroker::tWholeConfig{onTestPort(config)});
    const int port = broker.Port();

    // The phones' page is served on this computer only, as asked. The
    // WebSocket listener opens after the one the broker was waited for.
    std::string page;
    for (int i = 0; i < 40 && page.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        page = httpGet(htonl(INADDR_LOOPBACK), options.webSocketPort);
    }
    EXPECT_NE(page.find("the phones' page"), std::string::npos) << page;
    for (const in_addr_t address : outwardAddresses()) {
        EXPECT_EQ(httpGet(address, options.webSocketPort), "");
    }

    struct tLogin {
        std::string user;
        std::string password;
        bool ok;
    };
    for (const tLogin& c :
         std::vector<tLogin>{{"teacher", password[0], true},
                             {"station", password[1], true},
                             // The viewers' account is the phones' listener's only.
                             {"viewer", password[2], false},
                             {"station", password[0], false},
                             {"pupil", password[2], false},
                             {"", "", false}}) {
        EXPECT_EQ(tProbe(port, c.user, c.password, "login").Connected(), c.ok) << c.user;
    }

    const std::string k = "vantrel/1/8B/";
    struct tCase {
        int account;  // 0 teacher, 1 station
        std::string clientId;
        std::string topic;
        bool write;
        bool allowed;
    };
    const std::vector<tCase> cases = {
        {1, "st1", k + "st/st1/status", true, true},
        {1, "st1", k + "st/st1/run/r1/rec", true, true},
        {1, "st1", k + "st/st2/status", true, false},
        {1, "st1", k + "cmd/all", true, false},
        {1, "st1", k + "cmd/st/st1", true, false},
        {1, "st1", "vantrel/1/9A/st/st1/status", true, false},
        {1, "st1", k + "cmd/all", false, true},
        {1, "st1", k + "cmd/st/st1", false, true},
        {1, "st1", k + "st/st1/replay", false, true},
        {1, "st1", k + "cmd/st/st2", false, false},
        {1, "st1", k + "st/st2/last", false, false},
        {0, "desk", k + "cmd/all", true, true},
        {0, "desk", k + "cmd/st/st1", true, true},
        {0, "desk", k + "st/st1/replay", true, true},
        {0, "desk", "vantrel/1/9A/cmd/all", true, false},
        {0, "desk", k + "st/st2/last", false, true},
    };
    {
        tProbe teacher(port, "teacher", password[0], "setup");
        ASSERT_TRUE(teacher.Connected());
        for (const tCase& c : cases) {
            if (!c.write) {
                ASSERT_TRUE(teacher.Publish(c.topic, true)) << c.topic;
            }
        }
    }
    for (const tCase& c : cases) {
        tProbe probe(port, c.account == 0 ? "teacher" : "station", password[c.account], c.clientId);
        ASSERT_TRUE(probe.Connected()) << c.clientId;
        const bool allowed = c.write ? probe.Publish(c.topic) : probe.Reads(c.topic);
        EXPECT_EQ(allowed, c.allowed)
            << c.clientId << (c.write ? " writes " : " reads ") << c.topic;
    }
}

TEST(BrokerConfigTest, TheCommandLineWritesAConfigurationForAUsableClassNameOnly) {
    struct tCase {
        std::string className;
        int status;
        std::string said;  // in the output for 0, else in the messages
    };
    for (const tCase& c : std::vector<tCase>{{"8B", 0, "mosquitto -c "},
                                             {"8/B", 1, "the class name '8/B' cannot be used"},
                                             {"8%cB", 1, "'%'"}}) {
        test::tTempDir dir;
        std::ostringstream out;
        std::ostringstream messages;
        const int status =
            runRecorder({"--class", c.className, "--broker-config", dir.file("broker")},
                        dir.file("vantrel-cli"), out, messages);
        EXPECT_EQ(status, c.status) << c.className << ": " << messages.str();
        EXPECT_NE((c.status == 0 ? out : messages).str().find(c.said), std::string::npos)
            << out.str() << messages.str();
        EXPECT_EQ(std::filesystem::exists(dir.file("broker/mosquitto.conf")), c.status == 0);
    }
}

}  // namespace
}  // namespace vantrel::classlink

namespace vantrel::classlink {
namespace {

// A station the class link cannot serve still records its run, and says why
// it is not in the class: the broker's own reason for a refused account.
TEST(BrokerConfigTest, AStationOutsideTheClassRecordsAndSaysWhy) {
    test::tTempDir dir;
    ::chmod(dir.path().c_str(), 0755);
    tBrokerConfigOptions options;
    options.className = "8B";
    options.listenAddress = "127.0.0.1";
    options.webSocketPort = 0;
    options.stationPassword = "right-one";
    tTestBroker broker(
        tTestBroker::tWholeConfig{onTestPort(writeClassBrokerConfig(dir.file("b"), options))});
    const std::string here = "127.0.0.1:" + std::to_string(broker.Port());
    const std::string nobody = "127.0.0.1:" + std::to_string(test::freeLoopbackPort());
    struct tCase {
        std::string broker;
        std::string station;
        std::string password;
        std::string said;
    };
    for (const tCase& c : std::vector<tCase>{
             {here, "st1", "right-one", "class: 8B/st1 on " + here},
             {here, "st1", "wrong", "class: not connected (Not authorized)"},
             {nobody, "st1", "right-one", "class: not connected (Connection refused)"},
             {here, "st/1", "right-one", "class: off: the station name \"st/1\""}}) {
        test::tTempDir program;
        ::setenv("XDG_DATA_HOME", program.file("data").c_str(), 1);
        std::ofstream(program.file("vantrel-cli.cfg"))
            << "Timeout=10\nCheckTimeout=100\nCheckCount=2\nCheckOffTimer=0\n"
            << "ClassUser=station\nClassPassword=" << c.password << '\n';
        std::ostringstream out;
        std::ostringstream messages;
        const int status = runRecorder({"--simulate", "--duration", "1", "--class-broker", c.broker,
                                        "--class", "8B", "--station", c.station},
                                       program.file("vantrel-cli"), out, messages);
        EXPECT_EQ(status, 0) << messages.str();
        EXPECT_NE(messages.str().find(c.said), std::string::npos) << messages.str();
        EXPECT_NE(messages.str().find("stopped after 1.0 s"), std::string::npos) << messages.str();
    }
}

}  // namespace
}  // namespace vantrel::classlink

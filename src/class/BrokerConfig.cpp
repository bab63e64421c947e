#include "class/BrokerConfig.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string_view>
#include <system_error>

#include "base/Error.h"
#include "base/Files.h"
#include "base/Paths.h"
#include "class/ClassContract.h"

#ifndef _WIN32
#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;
#endif

namespace vantrel::classlink {

namespace {

namespace fs = std::filesystem;

// Each client (the teacher's above all) gets this many messages queued while
// it is away. A lesson has up to 30 stations, each sending a second's records
// and its newest values every second; the teacher's computer may be cut off
// for 10 minutes (a sleeping laptop, a dropped WLAN) and must then catch up
// without gaps: 30 x 2 x 600 = 36,000, plus room for events and status.
// Mosquitto's default of 1000 would drop records silently after 17 seconds.
constexpr int kMaxQueuedMessages = 40000;

bool hasControl(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            return true;
        }
    }
    return false;
}

// The password file splits at ':' and trims blanks, so a password holding
// them would not be the one the teacher hands out.
void checkPassword(const std::string& account, const std::string& password) {
    if (password.size() > 64) {
        throw tError("the " + account + " password is longer than 64 characters");
    }
    for (const char c : password) {
        if (c <= ' ' || c > '~' || c == ':') {
            throw tError("the " + account +
                         " password may hold only printable ASCII characters without spaces or "
                         "':'");
        }
    }
}

void checkOptions(const tBrokerConfigOptions& options) {
    if (!isContractName(options.className)) {
        throw tError("the class name '" + options.className +
                     "' cannot be used: 1 to 64 characters of text, without '/', '+', '#' or "
                     "control characters");
    }
    if (options.className.find('%') != std::string::npos) {
        throw tError("the class name '" + options.className +
                     "' cannot be used on the broker: its access rules read '%' as a placeholder");
    }
    if (options.port < 1 || options.port > 65535) {
        throw tError("the MQTT port " + std::to_string(options.port) + " is not in 1..65535");
    }
    if (options.webSocketPort < 0 || options.webSocketPort > 65535) {
        throw tError("the WebSocket port " + std::to_string(options.webSocketPort) +
                     " is not in 1..65535 (or 0: none)");
    }
    if (options.webSocketPort == options.port) {
        throw tError("the WebSocket port must differ from the MQTT port");
    }
    if (hasControl(options.listenAddress) || options.listenAddress.find(' ') != std::string::npos) {
        throw tError("the listener address '" + options.listenAddress + "' is not an address");
    }
    // A line break would add lines of its own to the configuration.
    if (hasControl(options.httpDir)) {
        throw tError("the folder of the phones' page holds control characters");
    }
    if (!options.httpDir.empty() && options.webSocketPort == 0) {
        throw tError("the phones' page needs a WebSocket port");
    }
    checkPassword("teacher", options.teacherPassword);
    checkPassword("station", options.stationPassword);
    checkPassword("viewer", options.viewerPassword);
}

bool isLoopback(std::string_view address) {
    return address == "localhost" || address == "::1" || address == "lo" ||
           address.substr(0, 4) == "127.";
}

// A path as the broker's configuration takes it: the rest of the line.
std::string configPath(const fs::path& path) {
    return utf8FromPath(path);
}

std::string commandWord(const std::string& path) {
    return path.find(' ') == std::string::npos ? path : '"' + path + '"';
}

// Who the broker runs as when it reads the password file.
struct tBrokerUser {
    std::string name;  // for the configuration's `user`; empty: no such line
    bool changeOwner = false;
#ifndef _WIN32
    uid_t uid = 0;
    gid_t gid = 0;
#endif
};

// The password file is readable by its owner only (0600), and a broker
// started as root drops to the configured `user` before it reads it. So the
// configuration names the account that will own the file: written by a
// teacher's own account, the broker runs as that account whether the
// teacher starts it directly or through sudo; written by root, the files the
// broker reads or writes are handed to the account Debian's package made
// for it ('mosquitto'), whatever root's umask made of them. Nobody else on
// the computer reads the hashes.
tBrokerUser brokerUser() {
    tBrokerUser user;
#ifndef _WIN32
    if (::geteuid() == 0) {
        const passwd* entry = ::getpwnam("mosquitto");
        if (entry == nullptr) {
            throw tError(
                "written as root, the configuration is read by the broker's own user "
                "'mosquitto', which does not exist here: install mosquitto, or write the "
                "configuration as the user who starts the broker");
        }
        user.name = "mosquitto";
        user.changeOwner = true;
        user.uid = entry->pw_uid;
        user.gid = entry->pw_gid;
    } else if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr) {
        user.name = entry->pw_name;
    }
#endif
    return user;
}

void giveTo(const tBrokerUser& user, const fs::path& path) {
#ifndef _WIN32
    if (user.changeOwner && ::chown(path.c_str(), user.uid, user.gid) != 0) {
        throw tError("cannot hand " + utf8FromPath(path) + " to the user '" + user.name +
                     "': " + systemErrorText(errno));
    }
#else
    (void)user;
    (void)path;
#endif
}

// A file only its owner reads, even for a moment: the mode is set before
// anything is written.
void writePrivateFile(const fs::path& path, const std::string& text) {
#ifndef _WIN32
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        throw tError("cannot write " + utf8FromPath(path) + ": " + systemErrorText(errno));
    }
    const bool ok = ::fchmod(fd, 0600) == 0 && writeAllBytes(fd, text);
    const int error = errno;
    if (::close(fd) != 0 || !ok) {
        throw tError("cannot write " + utf8FromPath(path) + ": " +
                     systemErrorText(ok ? errno : error));
    }
#else
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
        throw tError("cannot write " + utf8FromPath(path));
    }
#endif
}

// Debian's broker takes only hashed passwords (PBKDF2-SHA512, "$7$");
// mosquitto_passwd -U hashes a file of plain ones in place. The broker we
// build for Windows has no TLS library and compares the file's text as it
// stands, so there the passwords stay plain (and the file stays private).
void hashPasswords(const fs::path& file) {
#ifndef _WIN32
    const std::string name = utf8FromPath(file);
    std::array<char*, 4> argv = {const_cast<char*>("mosquitto_passwd"), const_cast<char*>("-U"),
                                 const_cast<char*>(name.c_str()), nullptr};
    pid_t pid = 0;
    const int spawned =
        ::posix_spawnp(&pid, "mosquitto_passwd", nullptr, nullptr, argv.data(), environ);
    if (spawned != 0) {
        throw tError("mosquitto_passwd, which hashes the broker's passwords, cannot be started (" +
                     systemErrorText(spawned) + "): apt-get install mosquitto");
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw tError("mosquitto_passwd could not hash the passwords in " + name);
    }
#else
    (void)file;
#endif
}

std::string configText(const tBrokerConfigOptions& options, const fs::path& folder,
                       const tBrokerUser& user) {
    std::ostringstream out;
    out << "# The broker of the class \"" << options.className << "\" (Mosquitto 2.0).\n"
        << "# Start it with: mosquitto -c " << commandWord(configPath(folder / "mosquitto.conf"))
        << "\n\n"
        << "# Each listener has its own accounts and access rules: the viewers'\n"
        << "# account exists on the phones' listener only, where nothing can be\n"
        << "# written, so no one holding it can speak for a station.\n"
        << "per_listener_settings true\n\n";
    if (!user.name.empty()) {
        out << "# Started as root, the broker reads its files as this user.\n"
            << "user " << user.name << "\n\n";
    }
    out << "# Retained status, run metadata and queued records outlive a restart.\n"
        << "persistence true\n"
        << "persistence_location " << configPath(folder / "persistence") << "/\n"
        << "autosave_interval 60\n\n"
        << "# 30 stations x 2 messages a second x 10 minutes of an absent teacher.\n"
        << "max_queued_messages " << kMaxQueuedMessages << "\n\n"
        << "# The stations and the teacher.\n"
        << "listener " << options.port
        << (options.listenAddress.empty() ? "" : " " + options.listenAddress) << '\n'
        << "allow_anonymous false\n"
        << "password_file " << configPath(folder / "passwords") << '\n'
        << "acl_file " << configPath(folder / "acl") << '\n';
    if (options.webSocketPort != 0) {
        out << "\n# The phones' page and its readings.\n";
        if (options.listenAddress.empty()) {
            out << "listener " << options.webSocketPort << '\n';
        } else if (isLoopback(options.listenAddress)) {
#ifdef _WIN32
            // libwebsockets on Windows takes an address, never an interface
            // name: a listener on "lo" there opens no socket and says nothing.
            out << "listener " << options.webSocketPort << " 127.0.0.1\n"
                << "socket_domain ipv4\n";
#else
            // This broker's WebSocket listener binds an address only when
            // told the socket's family; an interface name keeps it on this
            // computer.
            out << "listener " << options.webSocketPort << " lo\n"
                << "socket_domain ipv4\n";
#endif
        } else if (options.listenAddress.find(':') == std::string::npos) {
            out << "listener " << options.webSocketPort << ' ' << options.listenAddress << '\n'
                << "socket_domain ipv4\n";
        } else {
            out << "# This broker's WebSocket listener may take every interface here.\n"
                << "listener " << options.webSocketPort << ' ' << options.listenAddress << '\n';
        }
        out << "protocol websockets\n"
            << "allow_anonymous false\n"
            << "password_file " << configPath(folder / "viewers") << '\n'
            << "acl_file " << configPath(folder / "viewers.acl") << '\n';
        if (!options.httpDir.empty()) {
            out << "http_dir " << configPath(fs::absolute(pathFromUtf8(options.httpDir))) << '\n';
        }
    }
    return out.str();
}

std::string aclText(const std::string& className) {
    const std::string root = std::string(kRoot) + className + "/";
    std::ostringstream out;
    out << "# Who may read and write what in the class \"" << className << "\".\n"
        << "# Anything no line allows is refused.\n\n"
        << "# The teacher reads the whole class, sends commands and replay requests\n"
        << "# and clears retained topics.\n"
        << "user teacher\n"
        << "topic readwrite " << root << "#\n\n"
        << "# Every station uses this account with its station name as client id.\n"
        << "user station\n"
        << "topic read " << root << "cmd/all\n\n"
        << "# The patterns hold for every account; %c is the client id. A station\n"
        << "# writes its own subtree only and reads what is addressed to it.\n"
        << "pattern write " << root << "st/%c/#\n"
        << "pattern read " << root << "cmd/st/%c\n"
        << "pattern read " << root << "st/%c/replay\n";
    return out.str();
}

// The phones' listener: its one account reads the class and writes nothing.
std::string viewerAclText(const std::string& className) {
    return "# Phones and the projector only read the class \"" + className + "\".\n" +
           "user viewer\ntopic read " + std::string(kRoot) + className + "/#\n";
}

std::string accountsText(const tBrokerConfigOptions& options, const tBrokerConfig& config) {
    std::ostringstream out;
    const std::string host =
        options.listenAddress.empty() ? "this computer's address" : options.listenAddress;
    out << "Class " << options.className << ": the broker's accounts\n\n"
        << "Broker: " << host << ", port " << options.port << " (MQTT)";
    if (options.webSocketPort != 0) {
        out << ", port " << options.webSocketPort << " (WebSocket, the phones' page)";
    }
    out << "\nStart it: " << config.startCommand << "\n\n";
    for (const tBrokerAccount& account : config.accounts) {
        out << account.user << "\t" << account.password << "\t" << account.role << '\n';
    }
    out << "\nEach station's configuration: ClassBroker=" << host
        << ", ClassName=" << options.className
        << ",\nClassUser=station, ClassPassword=(the station password "
        << "above), StationName=its own name\n(unique in the class).\n\n"
        << "There is no encryption on the school network yet: these passwords and the\n"
        << "readings travel in clear. Keep the teacher's password to yourself.\n";
    return out.str();
}

}  // namespace

std::string readablePassword() {
    static constexpr std::string_view kAlphabet = "abcdefghjkmnpqrstuvwxyz23456789";
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    std::string password;
    for (int i = 0; i < 10; ++i) {
        password += kAlphabet[pick(random)];
    }
    return password;
}

tBrokerConfig writeClassBrokerConfig(const std::string& folderName,
                                     const tBrokerConfigOptions& options) {
    checkOptions(options);
    const tBrokerUser user = brokerUser();

    std::error_code ec;
    const fs::path folder = fs::absolute(pathFromUtf8(folderName), ec);
    if (ec || (fs::create_directories(folder / "persistence", ec), ec)) {
        throw tError("cannot make the folder " + folderName + ": " + ec.message());
    }

    tBrokerConfig config;
    config.replaced = fs::exists(folder / "passwords", ec);
    config.folder = utf8FromPath(folder);
    config.configFile = utf8FromPath(folder / "mosquitto.conf");
    config.passwordFile = utf8FromPath(folder / "passwords");
    config.aclFile = utf8FromPath(folder / "acl");
    config.accountsFile = utf8FromPath(folder / "accounts.txt");
    config.startCommand = "mosquitto -c " + commandWord(config.configFile);
    const auto chosen = [](const std::string& given) {
        return given.empty() ? readablePassword() : given;
    };
    config.accounts = {
        {"teacher", chosen(options.teacherPassword), "the teacher: reads all, sends commands"},
        {"station", chosen(options.stationPassword), "every station of the class"},
        {"viewer", chosen(options.viewerPassword), "phones and the projector: read only"}};

    // The stations' and the teacher's listener, then the phones'.
    for (const auto& [file, users] :
         {std::pair{folder / "passwords", std::vector<std::string>{"teacher", "station"}},
          std::pair{folder / "viewers", std::vector<std::string>{"viewer"}}}) {
        std::string passwords;
        for (const tBrokerAccount& account : config.accounts) {
            if (std::find(users.begin(), users.end(), account.user) != users.end()) {
                passwords += account.user + ":" + account.password + "\n";
            }
        }
        writePrivateFile(file, passwords);
        hashPasswords(file);
        giveTo(user, file);
    }
    giveTo(user, folder / "persistence");
    writeFileAtomically(utf8FromPath(folder / "viewers.acl"), viewerAclText(options.className));
    giveTo(user, folder / "viewers.acl");
    writeFileAtomically(config.aclFile, aclText(options.className));
    giveTo(user, folder / "acl");
    writePrivateFile(folder / "accounts.txt", accountsText(options, config));
    writeFileAtomically(config.configFile, configText(options, folder, user));
    return config;
}

}  // namespace vantrel::classlink

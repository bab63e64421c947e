#pragma once

#include <string>
#include <vector>

// The school's broker set up for one class: Mosquitto 2.0 configuration,
// accounts and access rules, written by the teacher's computer.
namespace vantrel::classlink {

struct tBrokerConfigOptions {
    std::string className;
    std::string listenAddress;  // the classroom interface; empty: all interfaces
    int port = 1883;
    int webSocketPort = 8080;  // the phones' page; 0: none
    std::string httpDir;       // served on the WebSocket port; empty: none
    // Empty: a readable one is generated.
    std::string teacherPassword;
    std::string stationPassword;
    std::string viewerPassword;
};

struct tBrokerAccount {
    std::string user;
    std::string password;
    std::string role;  // who uses it, for the teacher's text
};

struct tBrokerConfig {
    std::string folder;  // absolute
    std::string configFile;
    std::string passwordFile;
    std::string aclFile;
    std::string accountsFile;  // the teacher's text with the accounts
    std::vector<tBrokerAccount> accounts;
    std::string startCommand;
    // An earlier configuration was there: its passwords no longer work.
    bool replaced = false;
};

// Writes mosquitto.conf, the password file, the access rules and the
// teacher's text into `folder` (made when missing; earlier files replaced).
// tError naming the fault for options that cannot make a working broker and
// for files that cannot be written.
tBrokerConfig writeClassBrokerConfig(const std::string& folder,
                                     const tBrokerConfigOptions& options);

// A password of ten lower-case letters and digits without look-alikes
// (no 0/o, 1/l/i): read aloud or copied from the board without mistakes.
std::string readablePassword();

}  // namespace vantrel::classlink

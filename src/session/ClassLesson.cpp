#include "session/ClassLesson.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "base/Error.h"
#include "base/LogFile.h"
#include "base/NumberSetting.h"
#include "base/Paths.h"
#include "base/ProgramFiles.h"
#include "base/Settings.h"
#include "class/BrokerConfig.h"
#include "class/ClassContract.h"
#include "class/MqttLink.h"

namespace vantrel {

namespace fs = std::filesystem;

namespace {

const tNumberKey kClassPort{"ClassPort", 1883, 1, 65535, true};
// 0: no page for phones.
const tNumberKey kClassPagePort{"ClassPagePort", 8080, 0, 65535, true};

// A broker that cannot open its ports ends at once: this long tells.
constexpr std::chrono::milliseconds kBrokerSettle{400};

// The passwords of an earlier lesson of the class, from its accounts sheet.
void keepPasswords(const fs::path& accounts, classlink::tBrokerConfigOptions& options) {
    std::ifstream in(accounts);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string user;
        std::string password;
        if (!std::getline(fields, user, '\t') || !std::getline(fields, password, '\t')) {
            continue;
        }
        if (user == "teacher") {
            options.teacherPassword = password;
        } else if (user == "station") {
            options.stationPassword = password;
        } else if (user == "viewer") {
            options.viewerPassword = password;
        }
    }
}

std::string passwordOf(const classlink::tBrokerConfig& config, const std::string& user) {
    for (const classlink::tBrokerAccount& account : config.accounts) {
        if (account.user == user) {
            return account.password;
        }
    }
    return {};
}

// Letters and digits as they are, everything else %-escaped (a class
// named in Cyrillic).
std::string urlPart(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : text) {
        if (std::isalnum(c) != 0 || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

}  // namespace

std::string classPageFolder(const std::string& executablePath) {
    std::error_code ec;
    const fs::path folder = pathFromUtf8(executablePath).parent_path();
    for (const fs::path& candidate :
         {folder / "web" / "class", folder.parent_path() / "share" / "vantrel" / "web" / "class"}) {
        if (fs::is_regular_file(candidate / "index.html", ec)) {
            return utf8FromPath(candidate);
        }
    }
    return {};
}

tClassLesson::tClassLesson(const tSettings& settings, const std::string& className,
                           const std::string& executablePath,
                           std::function<void(const std::string&)> told) {
    if (!classlink::isContractName(className)) {
        throw tError("the class name \"" + className +
                     "\" may not be empty or hold / + # or control characters");
    }
    address_.className = className;
    tTeacherSettings teacher{settings.GetSettingByName("ClassBroker"), className,
                             settings.GetSettingByName("ClassUser"),
                             settings.GetSettingByName("ClassPassword")};
    if (teacher.broker.empty()) {
        const std::string program = brokerProgramFor(executablePath);
        if (program.empty()) {
            throw tError("the broker program (mosquitto) is not installed");
        }
        const std::string state = userStateFolder();
        if (state.empty()) {
            throw tError("there is no folder for the class's broker configuration");
        }
        classlink::tBrokerConfigOptions options;
        options.className = className;
        options.port = static_cast<int>(readNumberSetting(settings, kClassPort));
        options.webSocketPort = static_cast<int>(readNumberSetting(settings, kClassPagePort));
        options.httpDir = options.webSocketPort != 0 ? classPageFolder(executablePath) : "";
        const fs::path folder = pathFromUtf8(state) / "class" / pathFromUtf8(className);
        keepPasswords(folder / "accounts.txt", options);
        const classlink::tBrokerConfig config =
            classlink::writeClassBrokerConfig(utf8FromPath(folder), options);
        if (const std::string why =
                broker_.Start(program, config.configFile, utf8FromPath(folder / "broker.log"));
            !why.empty()) {
            throw tError(why);
        }
        std::this_thread::sleep_for(kBrokerSettle);
        if (!broker_.Running()) {
            throw tError("the broker ended at once (" + broker_.Ended() + "): see " +
                         utf8FromPath(folder / "broker.log") + "; another broker may hold port " +
                         std::to_string(options.port));
        }
        const std::string host = classroomAddress();
        address_.ownBroker = true;
        address_.broker = host + (options.port == 1883 ? "" : ":" + std::to_string(options.port));
        address_.stationAccount = "station / " + passwordOf(config, "station");
        address_.accountsFile = config.accountsFile;
        if (!options.httpDir.empty()) {
            address_.pageUrl = "http://" + host + ":" + std::to_string(options.webSocketPort) +
                               "/index.html?class=" + urlPart(className) +
                               "&u=viewer&p=" + urlPart(passwordOf(config, "viewer"));
        }
        teacher = {"127.0.0.1:" + std::to_string(options.port), className, "teacher",
                   passwordOf(config, "teacher")};
        logFile->WriteLine("CLASS: broker started for class \"" + className + "\" from " +
                           config.configFile);
    } else {
        std::string host;
        int port = 0;
        if (!parseBrokerAddress(teacher.broker, host, port)) {
            throw tError("the broker \"" + teacher.broker + "\" is not HOST or HOST:PORT");
        }
        address_.broker = teacher.broker;
    }
    teacher_ = std::make_unique<tClassTeacher>(std::move(teacher), std::move(told));
}

tClassLesson::~tClassLesson() {
    if (!ended_) {
        teacher_->Close();
        broker_.Stop();
    }
}

void tClassLesson::Tick(std::chrono::steady_clock::time_point now) {
    teacher_->Tick(now);
    if (address_.ownBroker && brokerEnded_.empty() && !ended_ && !broker_.Running()) {
        brokerEnded_ = broker_.Ended();
        logFile->WriteLine("CLASS: the broker ended by itself (" + brokerEnded_ + ")");
    }
}

bool tClassLesson::End() {
    if (ended_) {
        return true;
    }
    ended_ = true;
    const bool cleared = teacher_->EndLesson();
    broker_.Stop();
    return cleared;
}

}  // namespace vantrel

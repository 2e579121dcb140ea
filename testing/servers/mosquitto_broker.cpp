#include "testing/servers/mosquitto_broker.h"

#include <filesystem>
#include <vector>

#include "testing/servers/free_port.h"
#include "testing/servers/run_program.h"

namespace zarn::testing {

using namespace std::chrono_literals;

MosquittoBroker::MosquittoBroker(MosquittoOptions options)
    : options_(std::move(options)),
      user_(ServerUser::pick({"mosquitto"})),
      folder_("zarn-mqtt", user_),
      port_(freePort()),
      tlsPort_(options_.tls ? freePort() : 0),
      process_({"mosquitto", {"-c", folder_.file("mosquitto.conf")}, {}, folder_.path()}, user_,
               folder_.file("mosquitto.log")) {}

bool MosquittoBroker::configure(std::string& error) {
    if (folder_.path().empty() || port_ == 0 || (options_.tls && tlsPort_ == 0)) {
        error = "no temporary folder or no free port";
        return false;
    }
    std::string conf =
        "per_listener_settings false\n"
        "log_dest stderr\n"
        "log_type error\nlog_type warning\nlog_type notice\nlog_type information\nlog_type subscribe\n"
        "connection_messages true\n";
    conf += options_.persistence ? "persistence true\npersistence_location " + folder_.path() + "/\n"
                                 : "persistence false\n";
    if (options_.users.empty()) {
        conf += "allow_anonymous true\n";
    } else {
        const std::string passwords = folder_.file("passwords");
        // Typed in as at its prompt: never on a command line, and a ':' in it is kept
        // (`mosquitto_passwd -U` cuts the password there).
        for (const auto& [name, password] : options_.users) {
            std::vector<std::string> add{"mosquitto_passwd", passwords, name};
            if (!std::filesystem::exists(passwords)) add.insert(add.begin() + 1, "-c");
            const ProgramRun hash = runProgram(add, password + "\n" + password + "\n", user_);
            if (hash.status != 0) {
                error = "mosquitto_passwd failed (is mosquitto installed?):\n" + hash.output;
                return false;
            }
        }
        conf += "allow_anonymous false\npassword_file " + passwords + "\n";
    }
    conf += "listener " + std::to_string(port_) + " 127.0.0.1\n";
    if (options_.tls) {
        if (!certificates_.make(folder_, error)) return false;
        conf += "listener " + std::to_string(tlsPort_) + " 127.0.0.1\n" + "cafile " + certificates_.caFile + "\n" +
                "certfile " + certificates_.serverCert + "\n" + "keyfile " + certificates_.serverKey + "\n" +
                "require_certificate " + (options_.requireClientCertificate ? "true" : "false") + "\n";
    }
    folder_.write("mosquitto.conf", conf);
    configured_ = true;
    return true;
}

bool MosquittoBroker::start(std::string& error) {
    if (!configured_ && !configure(error)) return false;
    if (!process_.start(error)) return false;
    return process_.waitReady(
        [&] { return acceptsConnections(port_) && (tlsPort_ == 0 || acceptsConnections(tlsPort_)); }, 10s, error);
}

}  // namespace zarn::testing

#include "testing/servers/mosquitto_broker.h"

#include <filesystem>
#include <vector>

#include "testing/servers/free_port.h"
#include "testing/servers/run_program.h"

namespace zarn::testing {

MosquittoBroker::MosquittoBroker(MosquittoOptions options)
    : TestServer("zarn-mqtt", {"mosquitto"}), options_(std::move(options)), tlsPort_(options_.tls ? freePort() : 0) {}

ServerCommand MosquittoBroker::command() const {
    return {"mosquitto", {"-c", folder_.file("mosquitto.conf")}, {}, folder_.path()};
}

bool MosquittoBroker::ready() { return acceptsConnections(port_) && (tlsPort_ == 0 || acceptsConnections(tlsPort_)); }

bool MosquittoBroker::writePasswords(std::string& error) const {
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
    return true;
}

bool MosquittoBroker::prepare(std::string& error) {
    if (options_.tls && tlsPort_ == 0) {
        error = "no free port";
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
        if (!writePasswords(error)) return false;
        conf += "allow_anonymous false\npassword_file " + folder_.file("passwords") + "\n";
    }
    conf += "listener " + std::to_string(port_) + " 127.0.0.1\n";
    if (options_.tls) {
        if (!certificates_.make(folder_, error)) return false;
        conf += "listener " + std::to_string(tlsPort_) + " 127.0.0.1\n" + "cafile " + certificates_.caFile + "\n" +
                "certfile " + certificates_.serverCert + "\n" + "keyfile " + certificates_.serverKey + "\n" +
                "require_certificate " + (options_.requireClientCertificate ? "true" : "false") + "\n";
    }
    folder_.write("mosquitto.conf", conf);
    return true;
}

}  // namespace zarn::testing

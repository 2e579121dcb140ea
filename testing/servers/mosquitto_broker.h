#pragma once
// MosquittoBroker: the real mosquitto broker for the tests, on free ports of 127.0.0.1
// in a temporary folder, as the `mosquitto` (or `nobody`) user when the tests run as
// root.
//
//   MosquittoOptions options;
//   options.users = {{"site", "s3cret"}};     // any user: anonymous clients are refused
//   options.tls = true;                       // a TLS listener too, certificates made here
//   MosquittoBroker broker(options);
//   ASSERT_TRUE(broker.start(error)) << error;
//   run("zarn-record ... --mqtt " + broker.url());               // mqtt://127.0.0.1:PORT
//   ... --mqtt " + broker.tlsUrl() + " --mqtt-ca " + broker.certificates().caFile
//   broker.kill(); broker.start(error);       // a crash and a restart on the same ports
//
// Link zarn_test_servers.

#include <map>
#include <string>

#include "testing/servers/server_folder.h"
#include "testing/servers/server_process.h"
#include "testing/servers/test_certificates.h"

namespace zarn::testing {

struct MosquittoOptions {
    std::map<std::string, std::string> users;  // name -> password
    bool tls = false;                          // a second listener, with TLS
    bool requireClientCertificate = false;     // on the TLS listener: one signed by the test CA
    bool persistence = false;                  // retained messages kept over a stop (not a kill)
};

class MosquittoBroker {
public:
    explicit MosquittoBroker(MosquittoOptions options = {});
    MosquittoBroker(const MosquittoBroker&) = delete;
    MosquittoBroker& operator=(const MosquittoBroker&) = delete;

    // The first start writes the configuration, password file and certificates; later ones
    // reopen the same ports. False with error (and the broker's log) when it does not listen.
    bool start(std::string& error);
    void stop() { process_.stop(); }
    void kill() { process_.kill(); }
    bool running() { return process_.running(); }

    int port() const { return port_; }
    int tlsPort() const { return tlsPort_; }
    std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(port_); }
    // By name, as the certificate names the broker.
    std::string tlsUrl() const { return "mqtts://localhost:" + std::to_string(tlsPort_); }
    const TestCertificates& certificates() const { return certificates_; }
    const ServerFolder& folder() const { return folder_; }
    std::string log() const { return process_.log(); }

private:
    bool configure(std::string& error);

    MosquittoOptions options_;
    ServerUser user_;
    ServerFolder folder_;
    int port_ = 0, tlsPort_ = 0;
    bool configured_ = false;
    TestCertificates certificates_;
    ServerProcess process_;
};

}  // namespace zarn::testing

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
// start, stop, kill, port, folder and log as every TestServer. Link zarn_test_servers.

#include <map>
#include <string>

#include "testing/servers/test_certificates.h"
#include "testing/servers/test_server.h"

namespace zarn::testing {

struct MosquittoOptions {
    std::map<std::string, std::string> users;  // name -> password
    bool tls = false;                          // a second listener, with TLS
    bool requireClientCertificate = false;     // on the TLS listener: one signed by the test CA
    bool persistence = false;                  // retained messages kept over a stop (not a kill)
};

class MosquittoBroker : public TestServer {
public:
    // The configuration, password file and certificates are written at the first start.
    explicit MosquittoBroker(MosquittoOptions options = {});

    int tlsPort() const { return tlsPort_; }
    std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(port()); }
    // By name, as the certificate names the broker.
    std::string tlsUrl() const { return "mqtts://localhost:" + std::to_string(tlsPort_); }
    const TestCertificates& certificates() const { return certificates_; }

private:
    bool prepare(std::string& error) override;
    ServerCommand command() const override;
    bool ready() override;
    bool writePasswords(std::string& error) const;

    MosquittoOptions options_;
    int tlsPort_ = 0;
    TestCertificates certificates_;
};

}  // namespace zarn::testing

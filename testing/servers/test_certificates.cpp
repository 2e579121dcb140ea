#include "testing/servers/test_certificates.h"

#include <sys/stat.h>

#include <vector>

#include "testing/servers/run_program.h"

namespace zarn::testing {
namespace {

// Our own configuration, so nothing depends on the machine's openssl.cnf.
const char* const kConfig = R"([req]
distinguished_name = dn
prompt = no
[dn]
CN = unused
[ca]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[server]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost, IP:127.0.0.1
authorityKeyIdentifier = keyid
[client]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = clientAuth
authorityKeyIdentifier = keyid
)";

const std::vector<std::string> kNewKey{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};

std::vector<std::string> with(std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

}  // namespace

bool TestCertificates::make(const ServerFolder& folder, std::string& error) {
    const std::string config = folder.write("tls/openssl.cnf", kConfig);
    const auto at = [&](const char* name) { return folder.file(std::string("tls/") + name); };
    caFile = at("ca.crt"), caKey = at("ca.key"), otherCaFile = at("other-ca.crt");
    serverCert = at("server.crt"), serverKey = at("server.key");
    clientCert = at("client.crt"), clientKey = at("client.key");

    const auto selfSigned = [&](const std::string& cert, const std::string& key, const std::string& name) {
        return with({"openssl", "req", "-x509", "-config", config, "-extensions", "ca", "-days", "2", "-subj",
                     "/CN=" + name, "-keyout", key, "-out", cert},
                    kNewKey);
    };
    const auto signedBy = [&](const std::string& cert, const std::string& key, const std::string& name,
                              const char* section, const char* serial) {
        const std::string request = cert + ".csr";
        return std::vector<std::vector<std::string>>{
            with({"openssl", "req", "-new", "-config", config, "-subj", "/CN=" + name, "-keyout", key, "-out", request},
                 kNewKey),
            {"openssl", "x509", "-req", "-in", request, "-CA", caFile, "-CAkey", caKey, "-set_serial", serial, "-days",
             "2", "-extfile", config, "-extensions", section, "-out", cert}};
    };
    std::vector<std::vector<std::string>> steps{selfSigned(caFile, caKey, "Zarn test CA"),
                                                selfSigned(otherCaFile, at("other-ca.key"), "Zarn other CA")};
    for (auto& step : signedBy(serverCert, serverKey, "localhost", "server", "2")) steps.push_back(step);
    for (auto& step : signedBy(clientCert, clientKey, "zarn-test-client", "client", "3")) steps.push_back(step);
    for (const auto& step : steps) {
        const ProgramRun run = runProgram(step);
        if (run.status != 0) {
            error = "openssl failed (is the openssl package installed?):\n" + run.output;
            return false;
        }
    }
    for (const auto& file : {caFile, caKey, otherCaFile, serverCert, serverKey, clientCert, clientKey}) {
        chmod(file.c_str(), 0600);
        folder.giveToUser(file);
    }
    return true;
}

}  // namespace zarn::testing

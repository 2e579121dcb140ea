#pragma once
// TestCertificates: a throw-away CA, a server certificate it signed for localhost and
// 127.0.0.1, a client certificate it signed, and a second CA that signed nothing (the
// wrong CA a client must refuse), made by the openssl command. EC P-256 keys, valid
// two days.
//
//   TestCertificates tls;
//   ASSERT_TRUE(tls.make(folder, error)) << error;   // folder: a ServerFolder
//   args = {"--mqtt-ca", tls.caFile, ...};

#include <string>

#include "testing/servers/server_folder.h"

namespace zarn::testing {

struct TestCertificates {
    std::string caFile, caKey;
    std::string serverCert, serverKey;  // CN localhost; DNS:localhost and IP:127.0.0.1
    std::string clientCert, clientKey;  // CN zarn-test-client
    std::string otherCaFile;

    // Makes them in the folder's tls/, readable by its user; false with openssl's output.
    bool make(const ServerFolder& folder, std::string& error);
};

}  // namespace zarn::testing

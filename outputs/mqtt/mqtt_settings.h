#pragma once
// What the MQTT output needs to reach its broker, each part checked as a
// program takes it from its command line, so that a mistake is a usage error at
// start and not a failure an hour into a recording.
//
// - parseBrokerUrl: mqtt://HOST[:PORT] (1883) or mqtts://HOST[:PORT] (8883),
//   HOST a name, an IPv4 address or [IPv6]; nothing after the port but "/". A
//   user or password in the URL is refused: secrets come from a file.
// - readMqttAuth: the user name on the first line, the password on the second
//   (the rest of the line, spaces and all). The file must be a regular file
//   that neither its group nor others may read (chmod 600).
// - checkTls: with mqtts://, the CA file (else the system's CAs) must hold a
//   certificate, a client certificate must load with its key (a key that needs
//   a passphrase is refused: nobody is there to type it), and the key, a
//   secret, must be mode 600 too.
// - checkTopicPrefix: topic levels without wildcards ('+', '#'), not empty.
// - checkPasswordInClear: a password goes over plain mqtt:// only to this machine
//   (localhost, 127.0.0.0/8, ::1), unless the network is said to be trusted.
//
// The broker's name is checked against its certificate on every connection.

#include <string>

namespace zarn {

struct MqttSettings {
    std::string url;  // as given, for messages
    std::string host;
    int port = 1883;
    bool tls = false;
    std::string topicPrefix;  // PREFIX of PREFIX/status, PREFIX/records, ...
    std::string site;         // the site's name: in the client id and Home Assistant's names
    std::string user, password;
    std::string caFile, certFile, keyFile;
    bool discovery = false;  // Home Assistant's discovery topics
    bool occupancy = false;  // the program sends occupancy periods
    std::string version;     // the program's, in the discovery
};

// Each false with the reason, which names what was given.
bool parseBrokerUrl(const std::string& url, MqttSettings& settings, std::string& error);
bool readMqttAuth(const std::string& path, MqttSettings& settings, std::string& error);
bool checkTls(const MqttSettings& settings, std::string& error);
bool checkTopicPrefix(const std::string& prefix, std::string& error);
bool checkPasswordInClear(const MqttSettings& settings, bool trusted, std::string& error);

}  // namespace zarn

#pragma once
// Ports on 127.0.0.1 for servers the tests start.

namespace zarn::testing {

// A TCP port on 127.0.0.1 that nothing listens on just now.
int freePort();
// True when something accepts a TCP connection on 127.0.0.1:port.
bool acceptsConnections(int port);

}  // namespace zarn::testing

// One client's session: its own connection to the POP3 server and the
// dialogue relayed command by command.
#pragma once

#include "net/net.h"

// Serves the client on insock until its dialogue ends or a connection fails;
// closes the server connection it opens, never insock.
void relaySession(NetSocket insock);

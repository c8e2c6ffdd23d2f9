// The console: standard output set up so that every message shows the moment
// it is printed, with the bytes exactly as formatted, and so that the console
// can neither stop the relay nor reach a client.
#pragma once

// Makes standard output unbuffered (and byte-exact where the C runtime would
// translate line ends), makes a failed console write harmless, and keeps the
// standard descriptors from being taken by sockets; call before anything
// else. False when a closed standard descriptor could not be filled.
bool consoleStart();

// The console: standard output set up so that every message shows the moment
// it is printed, with the bytes exactly as formatted.
#pragma once

// Makes standard output unbuffered (and byte-exact where the C runtime would
// translate line ends); call before the first message.
void consoleStart();

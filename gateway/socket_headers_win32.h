// The system's socket headers for the files that share code across both platforms' sockets;
// CMake names this file or its POSIX twin as VR620_SOCKET_HEADERS. Winsock 2 before the
// headers that build on it.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

// The system's socket headers for the files that share code across both platforms' sockets;
// CMake names this file or its Windows twin as VR620_SOCKET_HEADERS.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

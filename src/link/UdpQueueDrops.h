#pragma once

#include <cstdint>

class QUdpSocket;

// Datagrams the kernel dropped for this socket because its receive queue was full (a sender
// faster than the controller reads), since the socket was opened; 0 when the count is not to be
// had. Linux keeps the count per socket in /proc/net/udp and /proc/net/udp6.
int32_t udpReceiveQueueDrops(const QUdpSocket& socket);

#include "client_table.h"

#include <algorithm>

namespace gateway {

bool ClientTable::Contains(int socket) const {
    return std::find(sockets.begin(), sockets.begin() + count, socket) != sockets.begin() + count;
}

ClientTable::AddResult ClientTable::Add(int socket) {
    if (Contains(socket)) return AddResult::kAlreadyPresent;
    if (count >= kMaxClients) return AddResult::kFull;
    sockets[count++] = socket;
    return AddResult::kAdded;
}

bool ClientTable::Remove(int socket) {
    auto end = sockets.begin() + count;
    auto slot = std::find(sockets.begin(), end, socket);
    if (slot == end) return false;
    std::move(slot + 1, end, slot);
    --count;
    return true;
}

}  // namespace gateway

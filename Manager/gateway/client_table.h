// The connected client sockets in order of acceptance, with no gaps and no duplicates: a count,
// then 64 slots. The server copies it whole once a pass; the accept thread appends to it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace gateway {

inline constexpr std::size_t kMaxClients = 64;

struct ClientTable {
    std::uint32_t count = 0;
    std::array<int, kMaxClients> sockets{};

    enum class AddResult { kAdded, kAlreadyPresent, kFull };

    bool Contains(int socket) const;
    AddResult Add(int socket);
    // Removes the first slot holding `socket`, moving the later ones down; false if absent.
    bool Remove(int socket);
};

}  // namespace gateway

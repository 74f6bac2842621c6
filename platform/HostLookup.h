// The blocking half of a host look-up (run on a worker thread) and the
// laying-out of its answer as a host entry (run on the user-interface thread).
#pragma once

#include "platform/Winsock.h"

#include <cstdint>
#include <string>
#include <vector>

struct CHostAnswer {
    int nError = 0;                     // 0, WSAHOST_NOT_FOUND, WSATRY_AGAIN or WSANO_DATA
    std::string strName;                // the official name
    std::vector<std::uint32_t> addrs;  // IPv4, network byte order, no duplicates
};

class CHostLookup {
public:
    // Resolves strName to its IPv4 addresses; blocks for as long as the
    // resolver takes.
    static CHostAnswer Resolve(const std::string& strName);

    // Writes answer into buf as a HOSTENT followed by its address pointers,
    // an empty alias list, the addresses and the name; the last address sits
    // right before the name's text, where the program looks for it. Returns
    // the bytes used (or needed, with nError = WSAENOBUFS, when buf is too
    // small; then buf is left alone).
    static int LayOut(const CHostAnswer& answer, char* buf, int buflen, int& nError);
};

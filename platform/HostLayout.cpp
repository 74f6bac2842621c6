// The laying-out of a look-up's answer as a host entry, shared by every
// system's sockets.
#include "platform/HostLookup.h"

#include <algorithm>
#include <cstring>

int CHostLookup::LayOut(const CHostAnswer& answer, char* buf, int buflen, int& nError)
{
    nError = answer.nError;
    if (nError != 0)
        return 0;
    const std::size_t nAddrs = answer.addrs.size();
    const std::size_t offList = sizeof(HOSTENT);
    const std::size_t offAliases = offList + (nAddrs + 1) * sizeof(char*);
    const std::size_t offAddrs = offAliases + sizeof(char*);
    const std::size_t offName = offAddrs + nAddrs * sizeof(std::uint32_t);
    const std::size_t nSize = offName + answer.strName.size() + 1;
    if (!buf || buflen < 0 || nSize > static_cast<std::size_t>(buflen)) {
        nError = WSAENOBUFS;
        return static_cast<int>(std::min<std::size_t>(nSize, 0xFFFF));
    }

    // memcpy throughout: the caller's buffer need not be aligned for pointers.
    std::vector<char*> list;
    for (std::size_t i = 0; i < nAddrs; ++i) {
        char* pAddr = buf + offAddrs + i * sizeof(std::uint32_t);
        std::memcpy(pAddr, &answer.addrs[i], sizeof(std::uint32_t));
        list.push_back(pAddr);
    }
    list.push_back(nullptr);
    std::memcpy(buf + offList, list.data(), list.size() * sizeof(char*));
    char* pNoAlias = nullptr;
    std::memcpy(buf + offAliases, &pNoAlias, sizeof(pNoAlias));
    std::memcpy(buf + offName, answer.strName.c_str(), answer.strName.size() + 1);

    HOSTENT entry{};
    entry.h_name = buf + offName;
    entry.h_aliases = reinterpret_cast<char**>(buf + offAliases);
    entry.h_addrtype = AF_INET_;
    entry.h_length = sizeof(std::uint32_t);
    entry.h_addr_list = reinterpret_cast<char**>(buf + offList);
    std::memcpy(buf, &entry, sizeof(entry));
    return static_cast<int>(nSize);
}

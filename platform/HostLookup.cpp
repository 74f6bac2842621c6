#include "platform/HostLookup.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>

static int MapResolverError(int nGai)
{
    switch (nGai) {
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
        return WSAHOST_NOT_FOUND;
    case EAI_AGAIN:
        return WSATRY_AGAIN;
    default:
        return WSANO_DATA;
    }
}

CHostAnswer CHostLookup::Resolve(const std::string& strName)
{
    CHostAnswer answer;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* pList = nullptr;
    int nGai = ::getaddrinfo(strName.c_str(), nullptr, &hints, &pList);
    if (nGai != 0) {
        answer.nError = MapResolverError(nGai);
        return answer;
    }
    for (const addrinfo* p = pList; p; p = p->ai_next) {
        if (p->ai_family != AF_INET || !p->ai_addr || p->ai_addrlen < sizeof(sockaddr_in))
            continue;
        sockaddr_in sin;
        std::memcpy(&sin, p->ai_addr, sizeof(sin));
        std::uint32_t addr = sin.sin_addr.s_addr;
        if (std::find(answer.addrs.begin(), answer.addrs.end(), addr) == answer.addrs.end())
            answer.addrs.push_back(addr);
    }
    answer.strName = pList->ai_canonname && *pList->ai_canonname ? pList->ai_canonname : strName;
    ::freeaddrinfo(pList);
    if (answer.addrs.empty())
        answer.nError = WSAHOST_NOT_FOUND;
    return answer;
}

#include "PeerOwner.h"

#include <memory>
#include <vector>

#include <winsock2.h>

#include <windows.h>

#include <iphlpapi.h>

namespace {
// Closes a handle when it goes out of scope.
struct HandleCloser
{
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// The rows of the IPv4 table of connected TCP sockets with their owning processes. The
// service listens on IPv4 loopback only, so its peers are all in this table.
std::vector<MIB_TCPROW_OWNER_PID> connectedSockets()
{
    std::vector<char> buffer;
    DWORD size = 0;
    DWORD result = ERROR_INSUFFICIENT_BUFFER;
    // The table may grow between asking for its size and reading it.
    while (result == ERROR_INSUFFICIENT_BUFFER) {
        buffer.resize(size);
        result = GetExtendedTcpTable(buffer.data(), &size, FALSE, AF_INET, TCP_TABLE_OWNER_PID_CONNECTIONS, 0);
    }
    if (result != NO_ERROR) {
        return {};
    }
    const auto* table = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(buffer.data());
    return std::vector<MIB_TCPROW_OWNER_PID>(table->table, table->table + table->dwNumEntries);
}

// Addresses in the table are in network byte order; ports in the low 16 bits, likewise.
bool isEnd(DWORD tableAddress, DWORD tablePort, const QHostAddress& address, quint16 port)
{
    return ntohl(tableAddress) == address.toIPv4Address() && ntohs(static_cast<u_short>(tablePort)) == port;
}

// The user a process runs as, as a copy of its token's user record; empty when it cannot be read.
std::vector<char> processUser(HANDLE process)
{
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &rawToken)) {
        return {};
    }
    const UniqueHandle token(rawToken);
    DWORD size = 0;
    GetTokenInformation(rawToken, TokenUser, nullptr, 0, &size);
    std::vector<char> user(size);
    if (size == 0 || !GetTokenInformation(rawToken, TokenUser, user.data(), size, &size)) {
        return {};
    }
    return user;
}

bool sameUser(DWORD processId)
{
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) {
        return false;
    }
    const std::vector<char> theirs = processUser(process.get());
    const std::vector<char> ours = processUser(GetCurrentProcess());
    return !theirs.empty() && !ours.empty()
        && EqualSid(reinterpret_cast<const TOKEN_USER*>(theirs.data())->User.Sid,
                    reinterpret_cast<const TOKEN_USER*>(ours.data())->User.Sid);
}
} // namespace

PeerOwner::PeerOwner(const QHostAddress& serviceAddress, quint16 servicePort)
    : m_serviceAddress(serviceAddress)
    , m_servicePort(servicePort)
{
    for (const MIB_TCPROW_OWNER_PID& row : connectedSockets()) {
        // Seen from the peer, the service is the remote end.
        if (isEnd(row.dwRemoteAddr, row.dwRemotePort, serviceAddress, servicePort) && sameUser(row.dwOwningPid)) {
            m_ownPeers.append(qMakePair(QHostAddress(static_cast<quint32>(ntohl(row.dwLocalAddr))),
                                        ntohs(static_cast<u_short>(row.dwLocalPort))));
        }
    }
}

bool PeerOwner::isCurrentUser(const QHostAddress& peer, quint16 peerPort) const
{
    return m_ownPeers.contains(qMakePair(peer, peerPort));
}

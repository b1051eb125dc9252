// A loopback HTTP server for the proxy tests: serves one proxy
// configuration script at /proxy.pac (404 for any other path) on
// 127.0.0.1 only, at a port the system picks.
//
//   pac_server.exe <script file> <port file> <max requests> <idle ms>
//
// The port is written to the port file once the server listens. It stops by
// itself after max requests, or when no request came for idle ms; the exit
// code is the number of requests answered (or 100 + a step on failure).
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string readFile(const wchar_t* path) {
    std::string text;
    FILE* file = _wfopen(path, L"rb");
    if (!file) return text;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
    fclose(file);
    return text;
}

// Written under another name and renamed, so the test never reads half a port.
bool writePort(const wchar_t* path, unsigned port) {
    std::wstring partial = std::wstring(path) + L".partial";
    FILE* file = _wfopen(partial.c_str(), L"wb");
    if (!file) return false;
    fprintf(file, "%u", port);
    fclose(file);
    return MoveFileExW(partial.c_str(), path, MOVEFILE_REPLACE_EXISTING) != 0;
}

// The request head, up to its blank line (at most 16 KB, 5 s).
std::string readRequestHead(SOCKET client) {
    DWORD timeout = 5000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    std::string head;
    char chunk[1024];
    while (head.size() < 16384 && head.find("\r\n\r\n") == std::string::npos) {
        int n = recv(client, chunk, sizeof chunk, 0);
        if (n <= 0) break;
        head.append(chunk, static_cast<size_t>(n));
    }
    return head;
}

void sendAll(SOCKET client, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        int n = send(client, data.data() + sent, static_cast<int>(data.size() - sent), 0);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

void answer(SOCKET client, const std::string& script) {
    std::string head = readRequestHead(client);
    bool wanted = head.rfind("GET /proxy.pac ", 0) == 0;
    std::string body = wanted ? script : std::string("not found\n");
    std::string response = std::string(wanted ? "HTTP/1.0 200 OK\r\n" : "HTTP/1.0 404 Not Found\r\n") +
                           "Content-Type: application/x-ns-proxy-autoconfig\r\n" +
                           "Content-Length: " + std::to_string(body.size()) + "\r\n" +
                           "Connection: close\r\n\r\n" + body;
    sendAll(client, response);
    shutdown(client, SD_SEND);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: pac_server <script file> <port file> <max requests> <idle ms>\n");
        return 100;
    }
    std::string script = readFile(argv[1]);
    int maxRequests = _wtoi(argv[3]);
    long idleMs = _wtol(argv[4]);
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 101;
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) return 102;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return 103;
    if (listen(listener, 4) != 0) return 104;
    int length = sizeof address;
    if (getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 105;
    if (!writePort(argv[2], ntohs(address.sin_port))) return 106;

    int served = 0;
    while (served < maxRequests) {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(listener, &ready);
        timeval wait = {idleMs / 1000, (idleMs % 1000) * 1000};
        if (select(0, &ready, nullptr, nullptr, &wait) <= 0) break;
        SOCKET client = accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) break;
        answer(client, script);
        closesocket(client);
        ++served;
    }
    closesocket(listener);
    WSACleanup();
    return served;
}

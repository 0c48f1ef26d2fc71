#include "tests/fakes/posix_net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tf {

namespace {

uint64_t nowMs() { return SteadyClock().tickMs(); }

// 1 ready, 0 time-out, -1 error.
int waitFor(int fd, short events, uint64_t deadline) {
  for (;;) {
    uint64_t now = nowMs();
    int left = now >= deadline ? 0 : (int)(deadline - now);
    pollfd p{fd, events, 0};
    int n = poll(&p, 1, left);
    if (n < 0 && errno == EINTR) continue;
    return n < 0 ? -1 : n > 0 ? 1 : 0;
  }
}

class PosixTcpConnection : public TcpConnection {
 public:
  explicit PosixTcpConnection(int fd) : fd_(fd) {}
  ~PosixTcpConnection() override { close(fd_); }

  bool sendAll(const std::string& bytes, unsigned timeoutMs, std::string& error) override {
    uint64_t deadline = nowMs() + timeoutMs;
    size_t sent = 0;
    while (sent < bytes.size()) {
      ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n > 0) {
        sent += (size_t)n;
      } else if (errno != EAGAIN && errno != EINTR) {
        error = strerror(errno);
        return false;
      } else if (waitFor(fd_, POLLOUT, deadline) <= 0) {
        error = "send timed out";
        return false;
      }
    }
    return true;
  }

  Received receive(char* buffer, size_t n, unsigned timeoutMs, size_t& got, std::string& error) override {
    got = 0;
    uint64_t deadline = nowMs() + timeoutMs;
    for (;;) {
      int w = waitFor(fd_, POLLIN, deadline);
      if (w == 0) return Received::timedOut;
      if (w < 0) {
        error = strerror(errno);
        return Received::failed;
      }
      ssize_t r = recv(fd_, buffer, n, 0);
      if (r > 0) {
        got = (size_t)r;
        return Received::data;
      }
      if (r == 0) return Received::closed;
      if (errno != EAGAIN && errno != EINTR) {
        error = strerror(errno);
        return Received::failed;
      }
    }
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<UdpSocket> PosixNetwork::openUdp(std::string& error) {
  error = "UDP no disponible en las pruebas nativas";
  return nullptr;
}

std::unique_ptr<TcpConnection> PosixNetwork::connectTcp(const std::string& host, uint16_t port, unsigned timeoutMs,
                                                        std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int code = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (code != 0 || !found) {
    error = host + ": " + gai_strerror(code);
    return nullptr;
  }
  sockaddr_in address = *reinterpret_cast<sockaddr_in*>(found->ai_addr);
  freeaddrinfo(found);
  address.sin_port = htons(port);
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = strerror(errno);
    return nullptr;
  }
  auto connection = std::make_unique<PosixTcpConnection>(fd);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (errno != EINPROGRESS) {
      error = strerror(errno);
      return nullptr;
    }
    if (waitFor(fd, POLLOUT, nowMs() + timeoutMs) <= 0) {
      error = "connect timed out";
      return nullptr;
    }
    int result = 0;
    socklen_t size = sizeof result;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &size);
    if (result != 0) {
      error = strerror(result);
      return nullptr;
    }
  }
  return connection;
}

bool OpenSslHashes::sha1(const std::string& data, std::string& digest) {
  unsigned char value[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (!EVP_Digest(data.data(), data.size(), value, &size, EVP_sha1(), nullptr)) return false;
  digest.assign(reinterpret_cast<char*>(value), size);
  return true;
}

}  // namespace tf

// The update engine's HTTP session over the shared Internet port.
#include <gtest/gtest.h>

#include "tests/fakes/fake_internet.h"
#include "update/update_http_internet.h"

using namespace tf;

namespace {

const char* const kUrl = "https://h.test/version/pack3.inf";

struct HttpSobreInternet : ::testing::Test {
  FakeInternet net;
  InternetUpdateHttp http{net};

  std::string ultima() { return net.calls.empty() ? "" : net.calls.back(); }
};

TEST_F(HttpSobreInternet, SessionOptionsAndRequestFlags) {
  ASSERT_TRUE(http.openSession("TUpdateEngine", "proxy:8080"));
  EXPECT_EQ(net.calls[0], "open TUpdateEngine 3 proxy:8080");
  ASSERT_TRUE(http.openSession("TUpdateEngine", ""));  // the first session is closed
  EXPECT_EQ(net.calls[1], "close session");
  EXPECT_EQ(net.calls[2], "open TUpdateEngine 0 ");
  EXPECT_EQ(net.openHandles(), 1);

  net.calls.clear();
  http.setTimeouts(0, 5000);  // 0 keeps the system's
  http.ignoreCertificateErrors();
  EXPECT_EQ(net.calls, (std::vector<std::string>{"option 6 5000", "option 31 12544"}));  // 0x3100
  EXPECT_EQ(net.securityFlags, 0x3100u);

  net.urls[kUrl].body = "x";
  EXPECT_NE(http.openUrl(kUrl, "", UpdateRequestFlags{}), nullptr);
  EXPECT_EQ(net.calls[2], std::string("url ") + kUrl + " [] 84000100");
  UpdateRequestFlags all;
  all.keepAlive = all.existingConnection = all.ignoreCertNameAndDate = true;
  EXPECT_NE(http.openUrl(kUrl, "Authorization: Basic eDp5\r\n\r\n", all), nullptr);
  EXPECT_EQ(net.calls[4], std::string("url ") + kUrl + " [Authorization: Basic eDp5\r\n\r\n] A4403100");

  http.closeSession();
  EXPECT_EQ(net.openHandles(), 0);
}

TEST_F(HttpSobreInternet, RequestAnswersStatusLengthAndBody) {
  ASSERT_TRUE(http.openSession("a", ""));
  FakeResponse& r = net.urls[kUrl];
  r.status = 206;
  r.body = "0123456789";
  r.chunk = 4;
  auto req = http.openUrl(kUrl, "", UpdateRequestFlags{});
  ASSERT_NE(req, nullptr);
  EXPECT_EQ(req->statusCode(), 206);
  uint64_t length = 0;
  ASSERT_TRUE(req->contentLength(length));
  EXPECT_EQ(length, 10u);
  char buf[16];
  EXPECT_EQ(req->read(buf, sizeof buf), 4);
  EXPECT_EQ(req->read(buf, 2), 2);
  EXPECT_EQ(req->read(buf, sizeof buf), 4);
  EXPECT_EQ(req->read(buf, sizeof buf), 0);
  req.reset();
  EXPECT_EQ(ultima(), "close request");

  // Lengths beyond 32 bits, absent or not a number.
  for (auto c : std::vector<std::pair<std::string, int64_t>>{
           {"5000000000", 5000000000}, {"", -1}, {"12a", -1}, {"-5", -1}, {"99999999999999999999", -1}}) {
    r.lengthText = c.first;
    r.announceLength = !c.first.empty();
    req = http.openUrl(kUrl, "", UpdateRequestFlags{});
    ASSERT_NE(req, nullptr);
    length = 7;
    EXPECT_EQ(req->contentLength(length), c.second >= 0) << c.first;
    EXPECT_EQ(length, c.second >= 0 ? (uint64_t)c.second : 7u) << c.first;
  }

  // A read that fails is -1, not the end.
  r.failAtEnd = true;
  r.announceLength = true;
  req = http.openUrl(kUrl, "", UpdateRequestFlags{});
  ASSERT_NE(req, nullptr);
  EXPECT_EQ(req->read(buf, sizeof buf), 4);
  EXPECT_EQ(req->read(buf, sizeof buf), 4);
  EXPECT_EQ(req->read(buf, sizeof buf), 2);
  EXPECT_EQ(req->read(buf, sizeof buf), -1);
}

TEST_F(HttpSobreInternet, ErrorTextsBySource) {
  std::string text = "old";
  EXPECT_EQ(http.lastError(text), 0u);
  EXPECT_EQ(text, "");

  // No session: a system error.
  net.systemMessages[6] = "Controlador no válido";
  EXPECT_EQ(http.openUrl(kUrl, "", UpdateRequestFlags{}), nullptr);
  EXPECT_EQ(http.lastError(text), 6u);
  EXPECT_EQ(text, "Controlador no válido");

  // The library's table, without its line end; its number when the table has no text.
  ASSERT_TRUE(http.openSession("a", ""));
  EXPECT_EQ(http.openUrl("https://nowhere.test/", "", UpdateRequestFlags{}), nullptr);
  EXPECT_EQ(http.lastError(text), 12007u);
  EXPECT_EQ(text, "Internet error 12007");
  net.messages[12007] = "No se pudo resolver el nombre\r\n";
  EXPECT_EQ(http.lastError(text), 12007u);
  EXPECT_EQ(text, "No se pudo resolver el nombre");

  // The extended error carries the server's own words.
  net.urlError = 12003;
  net.messages[12003] = "Error extendido";
  net.responseInfo = "550 Access denied";
  EXPECT_EQ(http.openUrl("https://nowhere.test/", "", UpdateRequestFlags{}), nullptr);
  EXPECT_EQ(http.lastError(text), 12003u);
  EXPECT_EQ(text, "550 Access denied");
  // A later success clears it.
  net.urls[kUrl].body = "x";
  EXPECT_NE(http.openUrl(kUrl, "", UpdateRequestFlags{}), nullptr);
  EXPECT_EQ(http.lastError(text), 0u);
  http.closeSession();

  // A session that cannot be opened keeps the library's code.
  net.openFails = true;
  net.failCode = 126;
  EXPECT_FALSE(http.openSession("a", ""));
  EXPECT_EQ(http.lastError(text), 126u);
  EXPECT_EQ(text, "System error 126");
}

TEST_F(HttpSobreInternet, ConnectedStateDialAndHangUp) {
  bool available = false;
  EXPECT_TRUE(http.connectedState(available));
  EXPECT_TRUE(available);
  net.connected = false;
  EXPECT_FALSE(http.connectedState(available));
  EXPECT_TRUE(available);
  net.hasConnectedState = false;
  EXPECT_FALSE(http.connectedState(available));
  EXPECT_FALSE(available);

  EXPECT_TRUE(http.dial(true));
  net.dialWorks = false;
  EXPECT_FALSE(http.dial(false));
  http.hangUp();
  EXPECT_EQ(net.calls, (std::vector<std::string>{"autodial 1", "autodial 2", "hangup"}));
}

TEST_F(HttpSobreInternet, FormPost) {
  std::string reply;
  EXPECT_EQ(http.postForm("h.test", "/cgi/post", "a=1", reply), PostResult::CannotConnect);  // no session
  ASSERT_TRUE(http.openSession("a", ""));
  net.answer = "gracias";
  EXPECT_EQ(http.postForm("h.test", "/cgi/post", "a=1&b=2", reply), PostResult::Ok);
  EXPECT_EQ(reply, "gracias");
  ASSERT_EQ(net.posts.size(), 1u);
  const FakeInternet::Post& p = net.posts[0];
  EXPECT_EQ(p.server, "h.test");
  EXPECT_EQ(p.port, 80);
  EXPECT_EQ(p.verb, "POST");
  EXPECT_EQ(p.object, "/cgi/post");
  EXPECT_EQ(p.accept, "text/*");
  EXPECT_EQ(p.flags, inet::kFlagReload);
  EXPECT_EQ(p.headers, "Content-Type: application/x-www-form-urlencoded");
  EXPECT_EQ(p.body, "a=1&b=2");
  EXPECT_EQ(net.openHandles(), 1);  // only the session

  net.sendFails = true;
  EXPECT_EQ(http.postForm("h.test", "/x", "", reply), PostResult::CannotOpenResource);
  net.requestFails = true;
  EXPECT_EQ(http.postForm("h.test", "/x", "", reply), PostResult::CannotOpenResource);
  net.connectFails = true;
  EXPECT_EQ(http.postForm("h.test", "/x", "", reply), PostResult::CannotConnect);
  EXPECT_EQ(net.openHandles(), 1);
}

}  // namespace

#include "tests/fakes/fake_internet.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tf {

Internet::Handle FakeInternet::add(State s) {
  uintptr_t id = next_++;
  handles_[id] = std::move(s);
  return reinterpret_cast<Handle>(id);
}

FakeInternet::State* FakeInternet::find(Handle h) {
  auto it = handles_.find(reinterpret_cast<uintptr_t>(h));
  return it == handles_.end() ? nullptr : &it->second;
}

Internet::Handle FakeInternet::open(const std::string& agent, uint32_t accessType, const std::string& proxy) {
  calls.push_back("open " + agent + " " + std::to_string(accessType) + " " + proxy);
  if (openFails) {
    error = failCode;
    return nullptr;
  }
  return add(State{"session", ""});
}

bool FakeInternet::setOption(Handle h, uint32_t option, uint32_t value) {
  calls.push_back("option " + std::to_string(option) + " " + std::to_string(value));
  if (!find(h)) return false;
  if (option == inet::kOptionSecurityFlags) {
    if (setOptionFails) {
      error = failCode;
      return false;
    }
    securityFlags = value;
  }
  return true;
}

bool FakeInternet::queryOption(Handle h, uint32_t option, uint32_t& value) {
  if (!find(h) || option != inet::kOptionSecurityFlags || queryOptionFails) {
    error = failCode;
    return false;
  }
  value = securityFlags;
  return true;
}

bool FakeInternet::connectedState(bool& available) {
  available = hasConnectedState;
  return available && connected;
}

bool FakeInternet::autodial(uint32_t flags) {
  calls.push_back("autodial " + std::to_string(flags));
  if (dialWorks) connected = true;
  return dialWorks;
}

Internet::Handle FakeInternet::openUrl(Handle session, const std::string& url, const std::string& headers,
                                       uint32_t flags) {
  char f[16];
  snprintf(f, sizeof f, "%08X", (unsigned)flags);
  calls.push_back("url " + url + " [" + headers + "] " + f);
  State s{"request", url};
  auto queued = next.find(url);
  if (find(session) && queued != next.end() && !queued->second.empty()) {
    s.own = std::move(queued->second.front());
    queued->second.pop_front();
    if (!s.own) {
      error = urlError;
      return nullptr;
    }
    return add(s);
  }
  if (!find(session) || !urls.count(url)) {
    error = urlError;
    return nullptr;
  }
  return add(s);
}

const FakeResponse* FakeInternet::response(Handle h) {
  State* s = find(h);
  if (!s) return nullptr;
  if (s->own) return &*s->own;
  auto it = urls.find(s->url);
  return it == urls.end() ? nullptr : &it->second;
}

bool FakeInternet::queryNumber(Handle request, uint32_t query, uint32_t& value) {
  const FakeResponse* r = response(request);
  if (!r) return false;
  if (query == inet::kQueryStatusCode) {
    value = r->status;
    return true;
  }
  if (query == inet::kQueryContentLength && r->announceLength) {
    value = (uint32_t)(r->announced >= 0 ? r->announced : (int64_t)r->body.size());
    return true;
  }
  return false;
}

bool FakeInternet::queryText(Handle request, uint32_t query, std::string& value) {
  const FakeResponse* r = response(request);
  if (!r) return false;
  if (query == inet::kQueryStatusCode) {
    value = std::to_string(r->status);
    return true;
  }
  if (query == inet::kQueryContentLength && r->announceLength) {
    value = !r->lengthText.empty() ? r->lengthText
                                   : std::to_string(r->announced >= 0 ? r->announced : (int64_t)r->body.size());
    return true;
  }
  auto h = r->headers.find(query);
  if (h != r->headers.end()) {
    value = h->second;
    return true;
  }
  error = 12150;  // header not found
  return false;
}

bool FakeInternet::queryTime(Handle request, uint32_t, LocalTime& value) {
  const FakeResponse* r = response(request);
  if (!r || !r->hasDate) return false;
  value = r->lastModified;
  return true;
}

bool FakeInternet::read(Handle request, void* buffer, uint32_t n, uint32_t& got) {
  State* s = find(request);
  got = 0;
  if (!s) return false;
  if (s->what == "post") {
    if (readFails) {
      error = failCode;
      return false;
    }
    got = (uint32_t)std::min<size_t>(n, answer.size() - s->pos);
    memcpy(buffer, answer.data() + s->pos, got);
    s->pos += got;
    return true;
  }
  const FakeResponse* found = response(request);
  if (!found) return false;
  const FakeResponse& r = *found;
  size_t end = r.body.size();
  if (r.cutAfter >= 0 && (size_t)r.cutAfter < end) end = (size_t)r.cutAfter;
  size_t left = end - s->pos;
  if (left == 0 && (r.failAtEnd || end < r.body.size())) {
    error = 12030;  // connection aborted
    return false;
  }
  got = (uint32_t)std::min<size_t>(std::min<size_t>(n, r.chunk), left);
  memcpy(buffer, r.body.data() + s->pos, got);
  s->pos += got;
  return true;
}

Internet::Handle FakeInternet::connect(Handle session, const std::string& server, uint16_t port) {
  calls.push_back("connect " + server + " " + std::to_string(port));
  if (!find(session) || connectFails) {
    error = failCode;
    return nullptr;
  }
  Post p;
  p.server = server;
  p.port = port;
  posts.push_back(p);
  State s{"connection", ""};
  s.post = posts.size() - 1;
  return add(s);
}

Internet::Handle FakeInternet::openRequest(Handle connection, const std::string& verb, const std::string& object,
                                           const std::string& referer, const std::string& accept,
                                           uint32_t flags) {
  State* c = find(connection);
  if (!c || requestFails) {
    error = failCode;
    return nullptr;
  }
  Post& p = posts[c->post];
  p.verb = verb;
  p.object = object;
  p.referer = referer;
  p.accept = accept;
  p.flags = flags;
  State s{"post", ""};
  s.post = c->post;
  return add(s);
}

bool FakeInternet::send(Handle request, const std::string& headers, const std::string& body) {
  State* s = find(request);
  calls.push_back("send");
  if (!s || sendFails) {
    error = failCode;
    return false;
  }
  posts[s->post].headers = headers;
  posts[s->post].body = body;
  posts[s->post].sent = true;
  return true;
}

void FakeInternet::close(Handle h) {
  State* s = find(h);
  calls.push_back("close " + (s ? s->what : std::string("?")));
  handles_.erase(reinterpret_cast<uintptr_t>(h));
}

std::string FakeInternet::messageText(uint32_t code) {
  auto it = messages.find(code);
  return it == messages.end() ? std::string() : it->second;
}

std::string FakeInternet::systemMessageText(uint32_t code) {
  auto it = systemMessages.find(code);
  return it == systemMessages.end() ? "System error " + std::to_string(code) : it->second;
}

}  // namespace tf

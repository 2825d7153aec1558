// HTTPS through WinINet with the system's certificate store. The observable request is the
// Linux transport's: verb, path, user agent "Strelvik/1.4", Content-Type on POST, the body byte
// for byte, HTTP/1.1, TLS with certificate and host checks, no cache, the system's proxy.
//
// Failure mapping (as in http_transport_curl.cpp):
//   InternetOpenA fails                                   -> "InternetOpen failed"
//   InternetConnectA fails                                -> "InternetConnect failed"
//   HttpOpenRequestA fails                                -> "HttpOpenRequest failed"
//   HttpSendRequestA fails: refused, unresolved, TLS or certificate failure, time-out
//   or no reply's headers within the connect and receive time-outs together
//                                                         -> "HttpSendRequest failed"
//   a status other than 200 (body not read)               -> "HTTP " + status
//   status 200, then a read fails                         -> the body received so far
//   status 200 with a body beyond max_reply_bytes         -> "Leaderboard reply larger than N MiB"
//
// STRELVIK_LEADERBOARD_CA: WinINet has no per-request trust store. A send that fails only
// because the server's root is unknown is retried, accepting that root, when the chain the
// server presented ends in one of the given certificates, byte for byte. The first send fails
// within the handshake, so no body reaches a server before its chain has been checked. Where
// the refused handshake's chain cannot be read (wine), the retry sends the request line and
// headers alone, checks the chain of that connection, and writes the body only after it.
#include <windows.h>
// after windows.h
#include <wincrypt.h>
#include <wininet.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "leaderboard_client/http_transport.h"
#include "leaderboard_client/time_limited_call.h"

namespace {

struct InternetHandle {
  HINTERNET h = nullptr;
  ~InternetHandle() {
    if (h) InternetCloseHandle(h);
  }
};

std::vector<std::vector<BYTE>> pem_certificates(const std::string& pem) {
  std::vector<std::vector<BYTE>> certificates;
  const std::string begin = "-----BEGIN CERTIFICATE-----", end = "-----END CERTIFICATE-----";
  for (std::size_t at = pem.find(begin); at != std::string::npos; at = pem.find(begin, at + 1)) {
    const std::size_t stop = pem.find(end, at);
    if (stop == std::string::npos) break;
    const std::string block = pem.substr(at, stop + end.size() - at);
    DWORD size = 0;
    if (!CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                              &size, nullptr, nullptr))
      continue;
    std::vector<BYTE> der(size);
    if (CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                             &size, nullptr, nullptr))
      certificates.push_back(std::move(der));
  }
  return certificates;
}

enum class ChainCheck { ends_in_trusted, refused, unavailable };

// Whether the chain the server presented ends in one of `trusted` and has no fault but its
// untrusted root and missing revocation data. Wine keeps no chain of a handshake whose
// certificate it refused (it frees the server's chain and the connection), so the query fails
// there with ERROR_INTERNET_INCORRECT_HANDLE_STATE: "unavailable".
ChainCheck check_chain(HINTERNET request, const std::vector<std::vector<BYTE>>& trusted) {
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  DWORD size = sizeof chain;
  if (!InternetQueryOptionA(request, INTERNET_OPTION_SERVER_CERT_CHAIN_CONTEXT, &chain, &size) || !chain)
    return GetLastError() == ERROR_INTERNET_INCORRECT_HANDLE_STATE ? ChainCheck::unavailable : ChainCheck::refused;
  std::unique_ptr<const CERT_CHAIN_CONTEXT, decltype(&CertFreeCertificateChain)> owned(chain, CertFreeCertificateChain);
  if (chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) return ChainCheck::refused;
  const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
  constexpr DWORD kAllowed =
      CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
  if ((simple->TrustStatus.dwErrorStatus & ~kAllowed) != 0) return ChainCheck::refused;
  const CERT_CONTEXT* root = simple->rgpElement[simple->cElement - 1]->pCertContext;
  for (const auto& der : trusted) {
    if (der.size() == root->cbCertEncoded && std::equal(der.begin(), der.end(), root->pbCertEncoded))
      return ChainCheck::ends_in_trusted;
  }
  return ChainCheck::refused;
}

void set_timeouts(HINTERNET handle, const LeaderboardSettings& settings) {
  DWORD connect = static_cast<DWORD>(settings.connect_timeout.count());
  DWORD receive = static_cast<DWORD>(std::chrono::milliseconds(settings.receive_timeout).count());
  InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
  InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
  InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &receive, sizeof receive);
}

// Each request has a connection of its own, as on Linux: WinINet would otherwise keep it for the
// next request, and wine then can hand one request another's reply.
constexpr char kGetHeaders[] = "Connection: close\r\n";
constexpr char kPostHeaders[] = "Connection: close\r\nContent-Type: application/json\r\n";

const char* headers_for(const std::string* body) { return body ? kPostHeaders : kGetHeaders; }

bool send(HINTERNET request, const std::string* body) {
  return HttpSendRequestA(request, headers_for(body), static_cast<DWORD>(-1),
                          body ? const_cast<char*>(body->data()) : nullptr,
                          body ? static_cast<DWORD>(body->size()) : 0) != 0;
}

// A root of one's own has no revocation service; every other check (name, dates) stays.
bool accept_unknown_root(HINTERNET request) {
  DWORD flags = 0;
  DWORD size = sizeof flags;
  InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size);
  flags |= SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_REVOCATION;
  return InternetSetOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags) != 0;
}

// Where the refused handshake's chain cannot be read: the request line and headers go out
// first (HttpSendRequestEx), the chain of that connection is checked, and only then the body
// is written. On a refusal the handle is closed with the body unsent.
bool send_holding_body(HINTERNET request, const std::string* body, const std::vector<std::vector<BYTE>>& trusted) {
  if (!accept_unknown_root(request)) return false;
  INTERNET_BUFFERSA headers{};
  headers.dwStructSize = sizeof headers;
  headers.lpcszHeader = headers_for(body);
  headers.dwHeadersLength = static_cast<DWORD>(std::strlen(headers_for(body)));
  headers.dwBufferTotal = body ? static_cast<DWORD>(body->size()) : 0;
  if (!HttpSendRequestExA(request, &headers, nullptr, 0, 0)) return false;
  if (check_chain(request, trusted) != ChainCheck::ends_in_trusted) return false;
  for (std::size_t at = 0; body && at < body->size();) {
    DWORD written = 0;
    if (!InternetWriteFile(request, body->data() + at, static_cast<DWORD>(body->size() - at), &written) || written == 0)
      return false;
    at += written;
  }
  return HttpEndRequestA(request, nullptr, 0, 0) != 0;
}

// Sends, and for the extra authorities retries once as described at the top.
bool send_checked(HINTERNET request, const std::string* body, const LeaderboardSettings& settings) {
  if (send(request, body)) return true;
  const DWORD error = GetLastError();
  // Under wine an unknown root without revocation data can come back as a revocation failure.
  if (settings.extra_ca_pem.empty() ||
      (error != ERROR_INTERNET_INVALID_CA && error != ERROR_INTERNET_SEC_CERT_REV_FAILED))
    return false;
  const auto trusted = pem_certificates(settings.extra_ca_pem);
  switch (check_chain(request, trusted)) {
    case ChainCheck::ends_in_trusted: return accept_unknown_root(request) && send(request, body);
    case ChainCheck::unavailable: return send_holding_body(request, body, trusted);
    case ChainCheck::refused: break;
  }
  return false;
}

// A GET when `body` is null, else a POST of it. `sent` is called once the reply's headers are in.
std::string blocking_request(const LeaderboardSettings& settings, const std::string& path, const std::string* body,
                             const std::function<void()>& sent) {
  InternetHandle session{InternetOpenA("Strelvik/1.4", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)};
  if (!session.h) throw std::runtime_error("InternetOpen failed");
  set_timeouts(session.h, settings);

  // WinINet takes an IPv6 address without its brackets.
  std::string host = settings.host;
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  InternetHandle connection{InternetConnectA(session.h, host.c_str(), static_cast<INTERNET_PORT>(settings.port),
                                             nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0)};
  if (!connection.h) throw std::runtime_error("InternetConnect failed");

  const DWORD flags = INTERNET_FLAG_SECURE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                      INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI |
                      INTERNET_FLAG_NO_AUTO_REDIRECT;
  InternetHandle request{
      HttpOpenRequestA(connection.h, body ? "POST" : "GET", path.c_str(), "HTTP/1.1", nullptr, nullptr, flags, 0)};
  if (!request.h) throw std::runtime_error("HttpOpenRequest failed");
  // Wine takes the time-outs from the request handle only.
  set_timeouts(request.h, settings);

  if (!send_checked(request.h, body, settings)) throw std::runtime_error("HttpSendRequest failed");
  // Wine honours the request handle's receive time-out while the body is read.
  sent();

  DWORD status = 0;
  DWORD size = sizeof status;
  if (!HttpQueryInfoA(request.h, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
    throw std::runtime_error("HttpSendRequest failed");
  if (status != 200) throw std::runtime_error("HTTP " + std::to_string(status));

  std::string reply;
  char buffer[16384];
  for (;;) {
    DWORD read = 0;
    if (!InternetReadFile(request.h, buffer, sizeof buffer, &read) || read == 0) break;
    if (reply.size() + read > settings.max_reply_bytes) {
      throw std::runtime_error("Leaderboard reply larger than " + std::to_string(settings.max_reply_bytes >> 20) +
                               " MiB");
    }
    reply.append(buffer, read);
  }
  return reply;
}

// The connect and the handshake bounded by the time-outs WinINet is given, whether it applies
// them or not; on a time-out the abandoned call keeps copies of what it uses.
std::string request(const LeaderboardSettings& settings, const std::string& path, const std::string* body) {
  if (!settings.unusable_reason.empty()) throw std::runtime_error(settings.unusable_reason);
  const bool has_body = body != nullptr;
  return call_with_time_limit(
      [settings, path, has_body, body = has_body ? *body : std::string()](const std::function<void()>& sent) {
        return blocking_request(settings, path, has_body ? &body : nullptr, sent);
      },
      settings.connect_timeout + std::chrono::duration_cast<std::chrono::milliseconds>(settings.receive_timeout),
      "HttpSendRequest failed");
}

}  // namespace

// WinINet needs no global set-up, and Windows has no SIGPIPE.
void init_http_transport() {}

std::string http_get(const LeaderboardSettings& settings, const std::string& path) {
  return request(settings, path, nullptr);
}

std::string http_post(const LeaderboardSettings& settings, const std::string& path, const std::string& body) {
  return request(settings, path, &body);
}

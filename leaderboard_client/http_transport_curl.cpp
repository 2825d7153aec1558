// HTTPS through libcurl (OpenSSL). The observable request is the window's: verb, path, user
// agent "Strelvik/1.4", Content-Type on POST, the body byte for byte, HTTP/1.1, TLS with
// certificate and host checks, no cache, the system's proxy settings (libcurl's proxy variables).
//
// Failure mapping (the first three are the texts the window has always shown):
//   curl_easy_init fails                                  -> "InternetOpen failed"
//   setting the address, TLS or time-out options fails    -> "InternetConnect failed"
//   setting the verb, headers or body fails               -> "HttpOpenRequest failed"
//   curl_easy_perform fails before the reply's headers are complete: the reason in words a
//     user can act on (failed_request_text), where the Windows transport says only
//     "HttpSendRequest failed": an untrusted certificate, libcurl's text for a refused
//     connection, an unresolved name or a proxy, or that nothing came within the time-out
//   headers complete with a status other than 200 (body not read) -> "HTTP " + status
//   status 200, then the body's transfer fails (drop, stall) -> the body received so far is
//     returned, as a failing read does; the JSON reading then reports it
//   status 200 with a body beyond max_reply_bytes         -> "Leaderboard reply larger than N MiB"
#include "leaderboard_client/http_transport.h"

#include <curl/curl.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string_view>

namespace {

struct Transfer {
  const LeaderboardSettings* settings = nullptr;
  CURL* handle = nullptr;
  std::string body;
  // WinINet's receive time-out: nothing received (or sent) for that long ends the request.
  // libcurl's low-speed limit averages over several seconds, so the idle time is kept here.
  bool connected = false;
  std::chrono::steady_clock::time_point last_activity = std::chrono::steady_clock::now();
  curl_off_t last_up = 0, last_down = 0;
  long status = 0;
  bool headers_complete = false;
  bool too_large = false;
};

// Called once per header line; the empty line ends a header block. A 1xx block is followed by
// another, so only the block with a final status counts as complete.
size_t on_header(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t length = size * count;
  transfer->last_activity = std::chrono::steady_clock::now();
  const std::string_view line(data, length);
  if (line.rfind("HTTP/", 0) == 0) {
    const size_t space = line.find(' ');
    transfer->status =
        space == std::string_view::npos ? 0 : std::strtol(std::string(line.substr(space + 1, 3)).c_str(), nullptr, 10);
  } else if (line == "\r\n" || line == "\n") {
    transfer->headers_complete = transfer->status >= 200;
  }
  return length;
}

size_t on_body(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t length = size * count;
  transfer->last_activity = std::chrono::steady_clock::now();
  // The body of a refusal is never read; stopping here also ends a server that keeps sending.
  if (transfer->status != 200) return CURL_WRITEFUNC_ERROR;
  if (transfer->body.size() + length > transfer->settings->max_reply_bytes) {
    transfer->too_large = true;
    return CURL_WRITEFUNC_ERROR;
  }
  transfer->body.append(data, length);
  return length;
}

// libcurl calls this often while data flows and about once a second while idle, so a stall
// ends between the time-out and a second after it. The connect phase has its own time-out.
int on_progress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
  auto* transfer = static_cast<Transfer*>(user);
  const auto now = std::chrono::steady_clock::now();
  if (!transfer->connected) {
    curl_off_t pretransfer = 0;
    if (curl_easy_getinfo(transfer->handle, CURLINFO_PRETRANSFER_TIME_T, &pretransfer) != CURLE_OK || pretransfer <= 0)
      return 0;
    transfer->connected = true;
    transfer->last_activity = now;
  }
  if (up != transfer->last_up || down != transfer->last_down) {
    transfer->last_up = up;
    transfer->last_down = down;
    transfer->last_activity = now;
  }
  return now - transfer->last_activity >= transfer->settings->receive_timeout ? 1 : 0;
}

// Adds the extra certificate authorities to the store that already holds the system's.
CURLcode add_extra_authorities(CURL*, void* ssl_ctx, void* user) {
  const auto* pem = static_cast<const std::string*>(user);
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem->data(), static_cast<int>(pem->size())), BIO_free);
  if (!bio) return CURLE_SSL_CERTPROBLEM;
  X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(ssl_ctx));
  int added = 0;
  while (X509* cert = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)) {
    if (X509_STORE_add_cert(store, cert) == 1) ++added;
    X509_free(cert);
  }
  ERR_clear_error();  // the loop ends on "no start line", which must not linger in this thread's queue
  return added > 0 ? CURLE_OK : CURLE_SSL_CERTPROBLEM;
}

struct CurlHandle {
  CURL* handle = curl_easy_init();
  curl_slist* headers = nullptr;
  ~CurlHandle() {
    // The request's resources first, then the handle, the order the handles were made in reverse.
    curl_slist_free_all(headers);
    if (handle) curl_easy_cleanup(handle);
  }
};

bool all_ok(std::initializer_list<CURLcode> codes) {
  for (CURLcode code : codes)
    if (code != CURLE_OK) return false;
  return true;
}

// Why a request ended before its reply's headers were complete.
std::string failed_request_text(CURLcode code, const char* detail, long os_error, const LeaderboardSettings& settings) {
  std::string what = detail[0] != '\0' ? detail : curl_easy_strerror(code);
  // libcurl's text for a refused connection ends in "Couldn't connect to server"; the system's
  // reason says which of the refusals it was.
  if (os_error != 0) {
    const std::string reason = std::strerror(static_cast<int>(os_error));
    if (what.find(reason) == std::string::npos) what += " (" + reason + ")";
  }
  switch (code) {
    case CURLE_PEER_FAILED_VERIFICATION:
      return "The leaderboard's certificate is not trusted (" + what +
             "); STRELVIK_LEADERBOARD_CA can name the authority that signed it";
    case CURLE_ABORTED_BY_CALLBACK:  // on_progress: the receive time-out
      return "No reply from the leaderboard within " + std::to_string(settings.receive_timeout.count()) + " s";
    case CURLE_OK:  // libcurl's success for a connection closed within the headers
    case CURLE_GOT_NOTHING: return "The leaderboard closed the connection before its reply";
    default: return "Could not reach the leaderboard: " + what;
  }
}

// A GET when `body` is null, else a POST of it.
std::string request(const LeaderboardSettings& settings, const std::string& path, const std::string* body) {
  if (!settings.unusable_reason.empty()) throw std::runtime_error(settings.unusable_reason);
  init_http_transport();

  CurlHandle curl;
  if (!curl.handle) throw std::runtime_error("InternetOpen failed");
  CURL* h = curl.handle;
  Transfer transfer;
  transfer.settings = &settings;
  transfer.handle = h;

  const std::string url = "https://" + settings.host + ":" + std::to_string(settings.port) + path;
  if (!all_ok({curl_easy_setopt(h, CURLOPT_URL, url.c_str()), curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "https"),
               curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L),  // request threads: no SIGALRM for time-outs
               curl_easy_setopt(h, CURLOPT_USERAGENT, "Strelvik/1.4"),
               curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)),
               curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L), curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L),
               curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L),
               curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings.connect_timeout.count())),
               curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L), curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, on_progress),
               curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer),
               // A proxy's "200 Connection established" must not count as the server's reply.
               curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L),
               curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, on_header),
               curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer), curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, on_body),
               curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer)}))
    throw std::runtime_error("InternetConnect failed");
  if (!settings.extra_ca_pem.empty() && !all_ok({curl_easy_setopt(h, CURLOPT_SSL_CTX_FUNCTION, add_extra_authorities),
                                                 curl_easy_setopt(h, CURLOPT_SSL_CTX_DATA, &settings.extra_ca_pem)}))
    throw std::runtime_error("InternetConnect failed");

  if (body) {
    // "Expect:" keeps libcurl from waiting for a 100-continue the window never asks for.
    for (const char* header : {"Content-Type: application/json", "Expect:"}) {
      curl_slist* grown = curl_slist_append(curl.headers, header);
      if (!grown) throw std::runtime_error("HttpOpenRequest failed");
      curl.headers = grown;
    }
    if (!all_ok({curl_easy_setopt(h, CURLOPT_POST, 1L), curl_easy_setopt(h, CURLOPT_POSTFIELDS, body->data()),
                 curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size())),
                 curl_easy_setopt(h, CURLOPT_HTTPHEADER, curl.headers)}))
      throw std::runtime_error("HttpOpenRequest failed");
  } else if (!all_ok({curl_easy_setopt(h, CURLOPT_HTTPGET, 1L)})) {
    throw std::runtime_error("HttpOpenRequest failed");
  }

  // libcurl reports success for a connection closed within the headers, so only complete
  // headers count; after them a failed transfer returns what was read.
  char detail[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, detail);
  const CURLcode code = curl_easy_perform(h);
  if (!transfer.headers_complete) {
    long os_error = 0;
    if (curl_easy_getinfo(h, CURLINFO_OS_ERRNO, &os_error) != CURLE_OK) os_error = 0;
    throw std::runtime_error(failed_request_text(code, detail, os_error, settings));
  }
  if (transfer.status != 200) throw std::runtime_error("HTTP " + std::to_string(transfer.status));
  if (transfer.too_large) {
    throw std::runtime_error("Leaderboard reply larger than " + std::to_string(settings.max_reply_bytes >> 20) +
                             " MiB");
  }
  return std::move(transfer.body);
}

}  // namespace

void init_http_transport() {
  static std::once_flag once;
  std::call_once(once, [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    // Request threads run with CURLOPT_NOSIGNAL, so libcurl does not mask SIGPIPE around its
    // writes; a server that closes while the request is written must give an error, not end
    // the program. A handler the program installed itself is left alone.
    struct sigaction current {};
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) signal(SIGPIPE, SIG_IGN);
  });
}

std::string http_get(const LeaderboardSettings& settings, const std::string& path) {
  return request(settings, path, nullptr);
}

std::string http_post(const LeaderboardSettings& settings, const std::string& path, const std::string& body) {
  return request(settings, path, &body);
}

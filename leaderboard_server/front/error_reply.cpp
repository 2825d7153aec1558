#include "leaderboard_server/front/error_reply.h"

#include <nlohmann/json.hpp>

namespace {

// The statuses the front answers by itself; the library names those of the routes.
const char* status_text(int status) {
  switch (status) {
    case 400: return "Bad Request";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Content Too Large";
    case 414: return "URI Too Long";
    case 431: return "Request Header Fields Too Large";
    case 501: return "Not Implemented";
    case 505: return "HTTP Version Not Supported";
    default: return "Error";
  }
}

}  // namespace

std::string error_body(const std::string& message) {
  return nlohmann::json{{"error", message}}.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void set_error_reply(httplib::Response& res, int status, const std::string& message) {
  res.status = status;
  res.set_content(error_body(message), kJsonType);
}

std::string error_reply_bytes(int status, const std::string& message) {
  const std::string body = error_body(message);
  return "HTTP/1.1 " + std::to_string(status) + " " + status_text(status) + "\r\nContent-Type: " + kJsonType +
         "\r\nX-Content-Type-Options: nosniff" + "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

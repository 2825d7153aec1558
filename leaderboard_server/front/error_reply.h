#pragma once
// Every error reply of the server, whether the front refuses a request it cannot frame or a route
// refuses one it read: a JSON body {"error": reason} the client shows as it is.

#include <httplib.h>

#include <string>

inline constexpr const char* kJsonType = "application/json";

// {"error": message}; bytes that are not UTF-8 (a target echoed back) become U+FFFD.
std::string error_body(const std::string& message);

// A route's refusal: the status and the body; the library writes the status line.
void set_error_reply(httplib::Response& res, int status, const std::string& message);

// The front's refusal, written without the library: the whole reply, which ends the connection.
std::string error_reply_bytes(int status, const std::string& message);

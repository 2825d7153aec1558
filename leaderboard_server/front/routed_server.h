#pragma once
// The HTTP library's routes, handlers and error replies, without its sockets: the front hands it
// one whole request at a time. Routes are registered on it as on any httplib::Server.

#include <httplib.h>

#include <string_view>

// process_request is the library's internal step, not its API (front_server.h says why it is
// used); its parameters are those of 0.11 and differ in later releases. CMake checks this too.
static_assert(std::string_view(CPPHTTPLIB_VERSION).starts_with("0.11."),
              "RoutedServer::answer is written against cpp-httplib 0.11's process_request: check the "
              "signature of the release found before accepting it here and in CMakeLists.txt");

class RoutedServer : public httplib::Server {
 public:
  // Answers the one request `stream` holds. `close` asks for "Connection: close"; `closed` says
  // the exchange ended the connection. False when the request could not be answered.
  bool answer(httplib::Stream& stream, bool close, bool& closed) {
    return process_request(stream, close, closed, nullptr);
  }
};

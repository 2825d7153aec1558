#pragma once
// The HTTP library's routes, handlers and error replies, without its sockets: the front hands it
// one whole request at a time. Routes are registered on it as on any httplib::Server.

#include <httplib.h>

class RoutedServer : public httplib::Server {
 public:
  // Answers the one request `stream` holds. `close` asks for "Connection: close"; `closed` says
  // the exchange ended the connection. False when the request could not be answered.
  bool answer(httplib::Stream& stream, bool close, bool& closed) {
    return process_request(stream, close, closed, nullptr);
  }
};

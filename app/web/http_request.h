// The application's synchronous HTTP client: the request is handed to a worker thread through an in-memory
// file, and the caller waits for it while it keeps processing its window messages.
#pragma once

#include "app/commands.h"

namespace app {

struct HttpRequestOptions {
    Text method;                      // GET or POST (ASCII case ignored); empty = GET
    Text proxy;                       // empty or blanks = direct connection
    Text userName;                    // empty or blanks = none
    Text password;                    // empty or blanks = none
    Text headers;                     // extra header lines, each ending in CR LF
    Text postData;                    // body for POST
    int32_t timeoutSeconds = 0;       // 0 = 90 seconds
    Text* responseHeaders = nullptr;  // receives the raw response headers when given
};

// The response body; the empty byte set on any failure or time-out.
Bytes HttpRequest(const Text& url, const HttpRequestOptions& options = {});

}  // namespace app

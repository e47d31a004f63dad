// Cookies for requests that skip the platform's cookie store. Under Wine the store costs a dozen URL-cache
// lookups under one process-wide lock for every request, so the thumbnail and picture stages look the cookies
// up once per scheme, host and folder of their addresses and send the Cookie line the store would have added;
// the cookies an answer sets go back into the store, which then ends as it would have.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

namespace rt {

// Starts a stage: from now on the cookies are looked up afresh.
void StartCookieSnapshot();

// "Cookie: ...\r\n" for url as the store holds it at the stage's first request into url's folder; "" for none.
std::string SnapshotCookieLine(const std::string& url);

// Hands every Set-Cookie line of the answer to the store, and drops the snapshot of url's folder so that the
// next request there sends the cookies as the store now has them.
void HandBackSetCookies(const std::string& url, HINTERNET request);

}  // namespace rt

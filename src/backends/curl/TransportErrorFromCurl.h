#pragma once
// How a curl failure reads to the rest of the program.
#include <curl/curl.h>

#include "platform/HttpClient.h"

namespace suite::curl {

// The kind of failure behind `code` (None for CURLE_OK). Cancellation and our own idle timeout
// never reach curl's result codes; the worker reports those itself.
TransportError transportErrorFrom(CURLcode code);

}  // namespace suite::curl

#pragma once
// Owning handles for curl's C objects, so every early return releases what it made.
#include <curl/curl.h>

#include <cstdio>
#include <memory>

namespace suite::curl {

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlStringDeleter {
    void operator()(char* text) const { curl_free(text); }
};

using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;
using CurlString = std::unique_ptr<char, CurlStringDeleter>;

// A curl_slist that grows one line at a time. curl_slist_append returns a new head only on
// success, so a failed append must not overwrite (and leak) the list built so far.
class StringList {
  public:
    bool append(const char* line) {
        curl_slist* grown = curl_slist_append(list_.get(), line);
        if (!grown) return false;
        list_.release();
        list_.reset(grown);
        return true;
    }
    curl_slist* get() const { return list_.get(); }

  private:
    std::unique_ptr<curl_slist, SlistDeleter> list_;
};

}  // namespace suite::curl

// libcurl, opened on the first transfer. Debian's libcurl brings about twenty libraries
// (GnuTLS, LDAP, SSH, RTMP, IDN, PSL...); linked, the loader maps and initialises them at every
// start, and each sits in the scope that every later symbol lookup walks, the web engine's and
// the GL driver's included. Without the library, the calls fail with libcurl's own codes.
#include "core/LazyLibrary.h"

#include <curl/curl.h>

namespace {
const LazyLibrary Curl {"curl", 4};
const char* const NotLoaded = "libcurl could not be loaded";
} // namespace

extern "C" {
CURLcode curl_global_init(long flags)
{
    static const auto call = Curl.function<decltype(&curl_global_init)>("curl_global_init");
    return call ? call(flags) : CURLE_FAILED_INIT;
}

CURL* curl_easy_init()
{
    static const auto call = Curl.function<decltype(&curl_easy_init)>("curl_easy_init");
    return call ? call() : nullptr;
}

// The variadic argument is a long, a pointer, a function pointer or a curl_off_t, by the
// option's range: the rule libcurl itself reads it by.
CURLcode(curl_easy_setopt)(CURL* easy, CURLoption option, ...)
{
    static const auto call = Curl.function<decltype(&curl_easy_setopt)>("curl_easy_setopt");
    if (!call) {
        return CURLE_FAILED_INIT;
    }
    va_list arguments;
    va_start(arguments, option);
    CURLcode result = CURLE_OK;
    if (option < CURLOPTTYPE_OBJECTPOINT) {
        result = call(easy, option, va_arg(arguments, long));
    } else if (option < CURLOPTTYPE_FUNCTIONPOINT) {
        result = call(easy, option, va_arg(arguments, void*));
    } else if (option < CURLOPTTYPE_OFF_T) {
        result = call(easy, option, va_arg(arguments, void (*)()));
    } else if (option < CURLOPTTYPE_BLOB) {
        result = call(easy, option, va_arg(arguments, curl_off_t));
    } else {
        result = call(easy, option, va_arg(arguments, void*));
    }
    va_end(arguments);
    return result;
}

// Every piece of information is written through a pointer.
CURLcode(curl_easy_getinfo)(CURL* easy, CURLINFO info, ...)
{
    static const auto call = Curl.function<decltype(&curl_easy_getinfo)>("curl_easy_getinfo");
    if (!call) {
        return CURLE_FAILED_INIT;
    }
    va_list arguments;
    va_start(arguments, info);
    const CURLcode result = call(easy, info, va_arg(arguments, void*));
    va_end(arguments);
    return result;
}

void curl_easy_cleanup(CURL* easy)
{
    static const auto call = Curl.function<decltype(&curl_easy_cleanup)>("curl_easy_cleanup");
    if (call) {
        call(easy);
    }
}

const char* curl_easy_strerror(CURLcode code)
{
    static const auto call = Curl.function<decltype(&curl_easy_strerror)>("curl_easy_strerror");
    return call ? call(code) : NotLoaded;
}

curl_slist* curl_slist_append(curl_slist* list, const char* text)
{
    static const auto call = Curl.function<decltype(&curl_slist_append)>("curl_slist_append");
    return call ? call(list, text) : nullptr;
}

void curl_slist_free_all(curl_slist* list)
{
    static const auto call = Curl.function<decltype(&curl_slist_free_all)>("curl_slist_free_all");
    if (call) {
        call(list);
    }
}

CURLM* curl_multi_init()
{
    static const auto call = Curl.function<decltype(&curl_multi_init)>("curl_multi_init");
    return call ? call() : nullptr;
}

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* easy)
{
    static const auto call = Curl.function<decltype(&curl_multi_add_handle)>("curl_multi_add_handle");
    return call ? call(multi, easy) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* easy)
{
    static const auto call = Curl.function<decltype(&curl_multi_remove_handle)>("curl_multi_remove_handle");
    return call ? call(multi, easy) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_perform(CURLM* multi, int* running)
{
    static const auto call = Curl.function<decltype(&curl_multi_perform)>("curl_multi_perform");
    return call ? call(multi, running) : CURLM_BAD_HANDLE;
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* queued)
{
    static const auto call = Curl.function<decltype(&curl_multi_info_read)>("curl_multi_info_read");
    return call ? call(multi, queued) : nullptr;
}

CURLMcode curl_multi_poll(CURLM* multi, curl_waitfd extra[], unsigned int count, int timeoutMs, int* ready)
{
    static const auto call = Curl.function<decltype(&curl_multi_poll)>("curl_multi_poll");
    return call ? call(multi, extra, count, timeoutMs, ready) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_wakeup(CURLM* multi)
{
    static const auto call = Curl.function<decltype(&curl_multi_wakeup)>("curl_multi_wakeup");
    return call ? call(multi) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_cleanup(CURLM* multi)
{
    static const auto call = Curl.function<decltype(&curl_multi_cleanup)>("curl_multi_cleanup");
    return call ? call(multi) : CURLM_BAD_HANDLE;
}
}

#include "WindowWatch.h"

#include "Clock.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>

namespace {
// Frees what xcb hands out with malloc.
struct FreeDeleter
{
    void operator()(void* pointer) const { std::free(pointer); }
};
template<typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

const uint32_t PropertyMaxLength = 1024;
} // namespace

WindowWatch::WindowWatch(std::string title)
    : m_title(std::move(title))
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;
    // The program under measurement must not inherit this connection.
    fcntl(xcb_get_file_descriptor(m_connection), F_SETFD, FD_CLOEXEC);
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    m_netWmName = atom("_NET_WM_NAME");
    m_utf8String = atom("UTF8_STRING");
    // Creation of every top-level window, so each can be watched before it is first shown.
    const uint32_t rootEvents = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &rootEvents);
    xcb_flush(m_connection);
}

WindowWatch::~WindowWatch()
{
    if (m_connection) {
        xcb_disconnect(m_connection);
    }
}

int WindowWatch::fd() const
{
    return m_connection ? xcb_get_file_descriptor(m_connection) : -1;
}

xcb_atom_t WindowWatch::atom(const char* name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name);
    const XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_connection, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

void WindowWatch::handleEvents()
{
    while (xcb_generic_event_t* raw = xcb_poll_for_event(m_connection)) {
        const XcbReply<xcb_generic_event_t> event(raw);
        const double nowMs = Clock::nowMs();
        const uint8_t type = event->response_type & ~0x80;
        if (type == XCB_CREATE_NOTIFY) {
            const auto* created = reinterpret_cast<const xcb_create_notify_event_t*>(raw);
            if (created->parent == m_root && !created->override_redirect) {
                watch(created->window, nowMs);
            }
        } else if (type == XCB_EXPOSE) {
            noteExposed(reinterpret_cast<const xcb_expose_event_t*>(raw)->window, nowMs);
        }
    }
}

void WindowWatch::watch(xcb_window_t window, double nowMs)
{
    const uint32_t events = XCB_EVENT_MASK_EXPOSURE;
    xcb_change_window_attributes(m_connection, window, XCB_CW_EVENT_MASK, &events);
    // A window already shown before we asked would never send us its first Expose.
    const XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, window), nullptr));
    if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE) {
        noteExposed(window, nowMs);
    }
}

void WindowWatch::noteExposed(xcb_window_t window, double nowMs)
{
    if (m_exposed.count(window) || titleOf(window) != m_title) {
        return;
    }
    m_exposed.insert(window);
    m_exposures.push_back(nowMs);
}

std::string WindowWatch::titleOf(xcb_window_t window)
{
    const std::string title = property(window, m_netWmName, m_utf8String);
    return title.empty() ? property(window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING) : title;
}

std::string WindowWatch::property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type)
{
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(m_connection, 0, window, name, type, 0, PropertyMaxLength);
    const XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(m_connection, cookie, nullptr));
    if (!reply) {
        return {};
    }
    const auto* value = static_cast<const char*>(xcb_get_property_value(reply.get()));
    return std::string(value, std::size_t(xcb_get_property_value_length(reply.get())));
}

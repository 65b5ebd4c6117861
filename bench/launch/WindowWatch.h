#ifndef WINDOWWATCH_H
#define WINDOWWATCH_H

#include <set>
#include <string>
#include <vector>
#include <xcb/xcb.h>

// Watches the X server, from outside any program, for top-level windows with a given
// title to be exposed: the moment their contents can first be drawn on screen, as the
// program itself learns it from its first Expose event.
class WindowWatch
{
public:
    explicit WindowWatch(std::string title);
    ~WindowWatch();
    WindowWatch(const WindowWatch&) = delete;
    WindowWatch& operator=(const WindowWatch&) = delete;

    bool connected() const { return m_connection != nullptr; }
    int fd() const;
    // Handles every event that has arrived, stamping each with the time it was read.
    void handleEvents();
    // When each distinct window with the title was first exposed (monotonic ms), in order.
    const std::vector<double>& exposures() const { return m_exposures; }

private:
    void watch(xcb_window_t window, double nowMs);
    void noteExposed(xcb_window_t window, double nowMs);
    std::string titleOf(xcb_window_t window);
    std::string property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type);
    xcb_atom_t atom(const char* name);

    std::string m_title;
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_netWmName = XCB_ATOM_NONE;
    xcb_atom_t m_utf8String = XCB_ATOM_NONE;
    std::set<xcb_window_t> m_exposed;
    std::vector<double> m_exposures;
};

#endif // WINDOWWATCH_H

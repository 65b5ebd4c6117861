#ifndef FONTPRELOAD_H
#define FONTPRELOAD_H

#include <thread>

// Loads the system's font configuration on a second thread while the application object is
// built, so the first window's text does not wait for it. Where Qt asks the system for fonts
// without such a step, nothing is done. Each platform has its own FontPreload_<platform>.cpp.
class FontPreload
{
public:
    // Made once, before the application object exists.
    FontPreload();
    // Waits for the loading, which has long finished by the time the program ends.
    ~FontPreload();

    FontPreload(const FontPreload&) = delete;
    FontPreload& operator=(const FontPreload&) = delete;

private:
    std::thread m_thread;
};

#endif // FONTPRELOAD_H

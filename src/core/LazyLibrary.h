#ifndef LAZYLIBRARY_H
#define LAZYLIBRARY_H

#include <QLibrary>

// A system library opened when first needed instead of by the dynamic loader at start, in a
// scope of its own: its dependencies are not mapped, initialised and searched by every symbol
// lookup of a start that never uses it. Functions defined under the library's own names call
// through to it (see the Lazy*_unix.cpp files); the executable does not export them, so they
// stand only for the program's own calls.
class LazyLibrary
{
public:
    // Loads it now; a missing library is logged once and every function() is null.
    LazyLibrary(const char* name, int version);

    template<typename Function>
    Function function(const char* symbol)
    {
        return reinterpret_cast<Function>(m_library.resolve(symbol));
    }

private:
    QLibrary m_library;
};

#endif // LAZYLIBRARY_H

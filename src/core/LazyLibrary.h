#ifndef LAZYLIBRARY_H
#define LAZYLIBRARY_H

#include <QLibrary>

// A system library opened when one of its functions is first asked for, instead of by the
// dynamic loader at start, in a scope of its own: its dependencies are not mapped, initialised
// and searched by every symbol lookup of a start that never uses it. Functions defined under
// the library's own names call through to it (see the Lazy*_unix.cpp files); the executable
// does not export them, so they stand only for the program's own calls.
struct LazyLibrary
{
    const char* name;
    int version;

    // Null when the library or the function is missing; a missing library is logged once.
    template<typename Function>
    Function function(const char* symbol) const
    {
        return reinterpret_cast<Function>(resolve(symbol));
    }

private:
    QFunctionPointer resolve(const char* symbol) const;
};

#endif // LAZYLIBRARY_H

#ifndef FUZZCHECK_H
#define FUZZCHECK_H

#include <QByteArray>

#include <cstdio>
#include <cstdlib>

// A property a fuzz target keeps: when it breaks, the run stops on the input and says which one.
namespace FuzzCheck {
inline void require(bool kept, const char* property, const QByteArray& outcome = QByteArray())
{
    if (!kept) {
        std::fprintf(stderr, "property broken: %s (%s)\n", property, outcome.toPercentEncoding(" /").constData());
        std::abort();
    }
}
} // namespace FuzzCheck

#endif // FUZZCHECK_H

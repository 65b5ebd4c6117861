#ifndef LISTENINGSOCKETS_H
#define LISTENINGSOCKETS_H

#include <QtGlobal>

// Reads the kernel's socket tables (Linux) to tell which ports a process serves.
namespace ListeningSockets {
// Whether this process holds a TCP socket listening on port, on any address.
bool thisProcessListensOn(quint16 port);
} // namespace ListeningSockets

#endif // LISTENINGSOCKETS_H

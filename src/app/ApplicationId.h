#ifndef APPLICATIONID_H
#define APPLICATIONID_H

// The installed desktop entry and icon carry this name; the build sets it.
inline constexpr char ApplicationId[] = NORV_APP_ID;

#endif // APPLICATIONID_H

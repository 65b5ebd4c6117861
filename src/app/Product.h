#ifndef PRODUCT_H
#define PRODUCT_H

// The product's name as the user sees it: window titles and the tray icon's tool tip.
inline constexpr char ProductName[] = "Norv Zivovireva 3.0";
// The installed desktop entry and icon carry this name; the build sets it.
inline constexpr char ApplicationId[] = NORV_APP_ID;

#endif // PRODUCT_H

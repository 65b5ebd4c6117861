#ifndef PRODUCT_H
#define PRODUCT_H

// The product's name as the user sees it: window titles and the tray icon's tool tip.
inline constexpr char ProductName[] = "Norv Zivovireva 3.0";
// The client's own version, shown in the about dialog and compared with the published one.
inline constexpr char ClientVersion[] = "3.0.0 Build 14";

#endif // PRODUCT_H

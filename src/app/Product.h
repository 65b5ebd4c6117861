#ifndef PRODUCT_H
#define PRODUCT_H

// The product's name as the user sees it: window titles and the tray icon's tool tip.
inline constexpr char ProductName[] = "Norv Zivovireva 3.0";

#endif // PRODUCT_H

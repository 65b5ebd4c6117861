#ifndef PRODUCT_H
#define PRODUCT_H

// The product's name as the user sees it: window titles and the tray icon's tool tip.
inline constexpr char ProductName[] = "Norv Zivovireva 3.0";
// The client's own version, shown in the about dialog and compared with the published one.
inline constexpr char ClientVersion[] = "3.0.0 Build 14";

// Identifies this client to the core services.
inline constexpr char CoreApplicationKey[] = "4E4F52565A49564F5649524556413330";
inline constexpr int CoreClientKind = 1;

#endif // PRODUCT_H

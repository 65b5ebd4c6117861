#ifndef PORTALCONTRACT_H
#define PORTALCONTRACT_H

// What the client and a portal server agree on. Header only, so the demo portal shares it.

// Only a page whose title carries this is the portal.
inline constexpr char PortalMarker[] = "norv-enterprise";
// The login page: the server's address, this, then the device id.
inline constexpr char PortalLoginPath[] = "/app/login?uuid=";

#endif // PORTALCONTRACT_H

#ifndef APPLICATIONFONT_H
#define APPLICATIONFONT_H

namespace ApplicationFont {
// Makes the interface font the application font, with installed stand-ins for
// Latin and Chinese text where the family itself is not installed.
void apply();
} // namespace ApplicationFont

#endif // APPLICATIONFONT_H

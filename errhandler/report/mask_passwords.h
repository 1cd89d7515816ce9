#pragma once
// Masking of passwords and of the login token in free text (variable dumps, error contexts)
// before the text is logged or sent anywhere.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kx::errhandler {

// Masks the value after every "PASSWORD" and then every "PWD", found without regard to letter
// case. At an occurrence starting at 0-based index p, the keyword's first letters stay ("PASS"
// and "PW") and the characters after them up to index p + 25 give way to ten asterisks; the
// search goes on after the asterisks. So the dump line "<mPassword>secret</mPassword>" CR LF
// becomes "<mPass**********>" CR LF.
//
// A value may be longer than that stretch. A value here runs from after its keyword up to the
// next "<", CR, LF or the end of the text. When the value of the keyword found, or of any keyword
// starting inside its stretch (which the masking would hide from the search), holds more than one
// separator character and reaches past the stretch, the stretch is extended to the value's end,
// still shown as ten asterisks. Short values thus mask exactly as before, while no character of a
// longer value is kept and the asterisks do not tell its length.
//
// Then the login token, found in the text as given: the value of each "<m_AuthLogin>" entry of a
// variable dump (up to the next "<", CR, LF or the end), every other occurrence of such a value
// of at least eight characters, and the user part of every URL ("scheme://USER@host", where the
// launcher puts the token in front of the business-object server's host). Each stretch of what is
// left of them gives way, together with any asterisks next to it, to ten asterisks:
// "<m_AuthLogin>**********</m_AuthLogin>", "http://**********@host/bo".
std::string MaskPasswords(std::string_view text);

// MaskPasswords together with, for each character of the result, the index in `text` it was
// copied from, or -1 for an asterisk that stands for removed text. For checks of the masking.
struct MaskedText {
    std::string text;
    std::vector<std::int64_t> origin;
};
MaskedText maskPasswordsTraced(std::string_view text);

}  // namespace kx::errhandler

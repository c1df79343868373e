#pragma once
// Web addresses are UTF-8 text. What goes on the wire is ASCII: an international host name in its
// ASCII-compatible (punycode) form, every other byte beyond ASCII percent-encoded.
#include <string>
#include <string_view>

namespace velm {

// The span of an address's authority (user, host, port): after "scheme://" up to the first '/', '?' or '#'.
// Empty (at 0) when the address has no "://".
struct AuthoritySpan {
    size_t begin = 0;
    size_t end = 0;
};
AuthoritySpan authorityOf(std::string_view address);

// The authority with a host that holds characters beyond ASCII in its ASCII-compatible form; user and port
// kept. A host that has no such form is left as it is (the request then fails naming it).
std::string asciiAuthority(std::string_view authority);

// The address as a request carries it: the authority made ASCII, and the bytes of 0x80 and above, controls
// and spaces of the rest percent-encoded byte for byte. An address with none of these comes back unchanged.
std::string wireAddress(std::string_view address);

} // namespace velm
